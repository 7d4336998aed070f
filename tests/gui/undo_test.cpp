// Undo and redo on the first tab, as the user reaches them: keys and the row menu.
#include "support/loaded_app.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

struct UndoApp : LoadedApp {
    UndoApp()
    {
        four = temp.filePath("four.ov2");
        // Loaded in latitude order: d, c, b, a.
        WriteOv2File(four, {{"1", "1", "d"}, {"2", "2", "c"}, {"3", "3", "b"}, {"4", "4", "a"}});
        load(four);
        form1->activateWindow();
        grid()->setFocus();
    }
    void key(int key, Qt::KeyboardModifiers mods = Qt::ControlModifier) { QTest::keyClick(grid(), Qt::Key(key), mods); }
    QString four;
};

}  // namespace

TEST(Undo, ADeletionComesBackAtItsPlaceAfterASort)
{
    UndoApp app;
    app.rightClickAndTrigger(2, "SupprimercePoi1");
    ASSERT_EQ(app.descriptions(), (QStringList{"d", "b", "a"}));
    ASSERT_TRUE(app.marked());
    app.rightClickAndTrigger(1, "ModifierletextedecePoi1");
    ClickCell(app.grid(), 0, FieldDescription);  // leaves edit mode (the mark) and sorts
    ASSERT_FALSE(app.tab()->editMode());
    ASSERT_EQ(app.descriptions(), (QStringList{"a", "b", "d"}));
    app.key(Qt::Key_Z);
    // "c" is back as row 2 with the N° 2 and the count as it was; nothing sorted again.
    EXPECT_EQ(app.descriptions(), (QStringList{"a", "c", "b", "d"}));
    EXPECT_EQ(app.viewRows(), 4);
    EXPECT_EQ(app.cell(2, FieldNumber), QStringLiteral("2"));
    EXPECT_EQ(app.cell(4, FieldNumber), QStringLiteral("4"));
    EXPECT_EQ(app.label("Label9"), QStringLiteral("4"));
    // Back at the loaded state: nothing to save, the mark of edit mode included.
    EXPECT_FALSE(app.marked());
    app.key(Qt::Key_Y);
    EXPECT_EQ(app.descriptions(), (QStringList{"a", "b", "d"}));
    EXPECT_EQ(app.label("Label9"), QStringLiteral("3"));
    EXPECT_TRUE(app.marked());
    app.key(Qt::Key_Z);
    app.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(app.descriptions(), (QStringList{"a", "b", "d"}));
}

TEST(Undo, EditsFollowTheirPoiThroughCalculerWithoutSortingAgain)
{
    UndoApp app;
    app.rightClickAndTrigger(1, "ModifierletextedecePoi1");
    app.tab()->model()->setData(app.tab()->model()->index(0, FieldDescription), QStringLiteral("D"), Qt::EditRole);
    app.tab()->model()->setData(app.tab()->model()->index(0, FieldLatitude), QStringLiteral("9"), Qt::EditRole);
    ClickCell(app.grid(), 4, FieldDescription);  // leaves edit mode; "a" is the base
    app.click("BitBtn4");
    ASSERT_EQ(app.descriptions(), (QStringList{"a", "b", "c", "D"}));
    app.key(Qt::Key_Z);
    EXPECT_EQ(app.cell(4, FieldLatitude), QStringLiteral("1,00000"));
    EXPECT_EQ(app.descriptions(), (QStringList{"a", "b", "c", "D"}));
    EXPECT_TRUE(app.marked());
    app.key(Qt::Key_Z);
    EXPECT_EQ(app.descriptions(), (QStringList{"a", "b", "c", "d"}));
    EXPECT_FALSE(app.marked());
    app.key(Qt::Key_Y);
    EXPECT_EQ(app.cell(4, FieldDescription), QStringLiteral("D"));
}

TEST(Undo, TheRowMenuEndsWithUndoAndRedo)
{
    UndoApp app;
    auto *menu = app.find<QMenu>("PopupMenu1");
    QStringList items;
    for (QAction *a : menu->actions())
        if (!a->isSeparator())
            items << a->text();
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items.mid(7), (QStringList{"Annuler la dernière modification", "Rétablir"}));
    auto *undo = app.find<QAction>("Annulerladerniremodification1");
    auto *redo = app.find<QAction>("Rtablir1");
    EXPECT_FALSE(undo->isEnabled());  // nothing to take back after a load
    EXPECT_FALSE(redo->isEnabled());
    app.rightClickAndTrigger(3, "SupprimercePoi1");
    ClickCell(app.grid(), 1, FieldDescription, Qt::RightButton);
    EXPECT_TRUE(undo->isEnabled());
    menu->hide();
    undo->trigger();
    EXPECT_EQ(app.descriptions(), (QStringList{"d", "c", "b", "a"}));
    EXPECT_TRUE(redo->isEnabled());
    redo->trigger();
    EXPECT_EQ(app.descriptions(), (QStringList{"d", "c", "a"}));
}

TEST(Undo, TheCloseAndLoadQuestionsFollowTheSavedState)
{
    UndoApp app;
    app.rightClickAndTrigger(4, "SupprimercePoi1");
    app.key(Qt::Key_Z);
    // Every change taken back: nothing to save, no question.
    EXPECT_FALSE(app.marked());
    app.load(app.four);
    EXPECT_TRUE(app.dialogs.texts("okcancel").isEmpty());
    // A load starts afresh: there is nothing to take back from before it.
    app.key(Qt::Key_Y);
    EXPECT_EQ(app.viewRows(), 4);
    // A save makes the state it wrote the saved one: undoing past it is a change again.
    app.rightClickAndTrigger(1, "SupprimercePoi1");
    app.dialogs.fileNames = {app.temp.filePath("saved.ov2")};
    app.click("BitBtn11");
    EXPECT_FALSE(app.marked());
    app.key(Qt::Key_Z);
    EXPECT_TRUE(app.marked());
    app.dialogs.answers = {false};
    EXPECT_FALSE(app.form1->close());
    EXPECT_EQ(app.dialogs.texts("okcancel").size(), 1);
    app.key(Qt::Key_Y);
    EXPECT_FALSE(app.marked());
    EXPECT_TRUE(app.form1->close());
    EXPECT_EQ(app.dialogs.texts("okcancel").size(), 1);
}

TEST(Undo, TheConverterResultIsAnEditToo)
{
    UndoApp app;
    EnterEditMode(app, 2);
    ClickCell(app.grid(), 2, FieldLatitude, Qt::RightButton);
    app.form3->findChild<QLineEdit *>("Edit1")->setText("45");
    app.form3->findChild<QLineEdit *>("Edit2")->setText("30");
    app.form3->BitBtn1Click();
    EXPECT_EQ(app.cell(2, FieldLatitude), QStringLiteral("45,50000"));
    app.key(Qt::Key_Z);
    EXPECT_EQ(app.cell(2, FieldLatitude), QStringLiteral("2,00000"));
}
