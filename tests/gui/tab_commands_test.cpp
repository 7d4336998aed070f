// The first tab's rules that every command keeps: what is being typed is
// committed first, the views hear of every change, the mark follows the table.
#include "support/loaded_app.h"

#include "files/ov2_format.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

QString SavedDescriptions(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    PoiTable back;
    ReadOv2(f.readAll(), back, u',');
    QStringList out;
    for (int r = 1; r <= back.lastRow(); ++r)
        out << back.field(r, FieldDescription);
    return out.join(u',');
}

}  // namespace

// The keys of the tab: the typed text is in the table first.
TEST(TabCommands, ShortcutsKeepWhatIsBeingTyped)
{
    LoadedApp app;
    app.load(app.path);
    app.find<QLineEdit>("Edit13")->setText(QStringLiteral("e"));
    app.click("BitBtn8");
    ASSERT_FALSE(app.find("BitBtn9")->isHidden());
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
    };
    int row = 1;
    for (const Key &k : {Key{Qt::Key_F3, Qt::NoModifier}, Key{Qt::Key_F, Qt::ControlModifier}}) {
        const QString typed = QStringLiteral("TYPED%1").arg(row);
        QLineEdit *editor = TypeWithoutEnter(app, row, typed);
        ASSERT_NE(editor, nullptr);
        QTest::keyClick(editor, k.key, k.mods);
        EXPECT_EQ(app.cell(row, FieldDescription), typed) << QKeySequence(k.key | k.mods).toString().toStdString();
        ++row;
    }
    EXPECT_TRUE(app.marked());
}

// A button pressed without the editor losing the focus (a screen reader's
// press, a script): "OV2" writes the text as typed.
TEST(TabCommands, AButtonPressedWithTheEditorOpenSavesWhatIsTyped)
{
    LoadedApp app;
    app.load(app.path);
    QLineEdit *editor = TypeWithoutEnter(app, 3, QStringLiteral("SAVED"));
    ASSERT_NE(editor, nullptr);
    const QString out = app.temp.filePath("all.ov2");
    app.dialogs.fileNames = {out};
    app.click("BitBtn11");
    EXPECT_TRUE(SavedDescriptions(out).split(u',').contains(QStringLiteral("SAVED"))) << SavedDescriptions(out).toStdString();
    EXPECT_FALSE(app.marked());
}

// A deletion moves the N° of every row below: the views are told, not only of the removal.
TEST(TabCommands, ADeletionTellsTheViewsOfTheNumbersBelow)
{
    LoadedApp app;
    app.load(app.path);
    QSignalSpy changed(app.grid()->model(), &QAbstractItemModel::dataChanged);
    app.rightClickAndTrigger(2, "SupprimercePoi1");
    bool numbersBelow = false;
    for (const QList<QVariant> &signal : changed) {
        const auto from = signal.at(0).value<QModelIndex>(), to = signal.at(1).value<QModelIndex>();
        numbersBelow = numbersBelow || (from.column() == FieldNumber && from.row() <= 1 && to.row() >= 3);
    }
    EXPECT_TRUE(numbersBelow);
}

// Leaving edit mode marks the table even when nothing was typed, by a click
// on another row as by a header sort; Ctrl+Z then has nothing to take back.
TEST(TabCommands, LeavingEditModeShowsTheMarkWithoutAnEdit)
{
    LoadedApp app;
    app.load(app.path);
    EnterEditMode(app, 2);
    EXPECT_FALSE(app.marked());
    ClickCell(app.grid(), 4, FieldDescription);
    EXPECT_FALSE(app.tab()->editMode());
    EXPECT_TRUE(app.marked());
    app.tab()->setModified(false);
    EnterEditMode(app, 3);
    ClickCell(app.grid(), 0, FieldLatitude);
    EXPECT_TRUE(app.marked());
    QTest::keyClick(app.grid(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(app.marked());
    app.dialogs.answers = {false};
    EXPECT_FALSE(app.form1->close());
}
