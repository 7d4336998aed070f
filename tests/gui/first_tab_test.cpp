#include "support/loaded_app.h"
#include "../bench/process_stats.h"  // the peak memory, as the benchmarks read it

#include "files/memory_check.h"
#include "maps/map_commands.h"
#include "table/edit_commands.h"
#include "table/search_commands.h"

#include "table/poi_table_model.h"

#include <QAction>
#include <QFile>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QProgressDialog>
#include <QTest>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTimer>
#include <sys/stat.h>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;


TEST(Load, FillsTheTableAndRestoresTheWindow)
{
    LoadedApp app;
    app.load(app.path);
    ASSERT_EQ(app.tab()->table().lastRow(), 5);
    EXPECT_EQ(app.label("Label9"), QStringLiteral("5"));
    EXPECT_EQ(app.form1->windowTitle(), app.path);
    EXPECT_FALSE(app.find("Panel1")->isHidden());
    for (const char *name : {"BitBtn7", "BitBtn8", "BitBtn10", "BitBtn11", "BitBtn15", "BitBtn16", "BitBtn18"})
        EXPECT_TRUE(app.find(name)->isEnabled()) << name;
    EXPECT_EQ(app.text("Edit6"), QStringLiteral("1"));
    EXPECT_TRUE(app.tab()->importFolder().startsWith(app.temp.path()));
    EXPECT_TRUE(app.tab()->importFolder().endsWith(u'/'));
    EXPECT_FALSE(app.tab()->isModified());
    // Sorted by the empty distance text, the rows follow their latitude text.
    EXPECT_EQ(app.cell(1, FieldDescription), QStringLiteral("Nantes"));
    EXPECT_EQ(app.cell(5, FieldLatitude), QStringLiteral("48,85661"));  // comma locale
    const ScriptedDialogs::Shown &open = app.dialogs.shown.front();
    EXPECT_EQ(open.text, QStringLiteral("Choix du fichier à importer"));
    EXPECT_TRUE(open.extra.startsWith(QStringLiteral("Fichiers supportés (GPX, OV2)|")));
}

TEST(Load, QuestionAndCancelPathsKeepTheTable)
{
    LoadedApp app;
    app.load(app.path);
    app.tab()->setModified(true);
    app.dialogs.answers = {false};
    app.dialogs.fileNames = {app.path};
    app.click("BitBtn3");
    EXPECT_EQ(app.dialogs.texts("okcancel").size(), 1);
    EXPECT_EQ(app.dialogs.texts("open").size(), 1);  // no dialog after "Annuler"
    EXPECT_EQ(app.cell(1, FieldDescription), QStringLiteral("Nantes"));
    // "OK" then cancelling the file dialog keeps everything as it was.
    app.dialogs.answers = {true};
    app.dialogs.fileNames.clear();
    app.click("BitBtn3");
    EXPECT_EQ(app.cell(1, FieldDescription), QStringLiteral("Nantes"));
    EXPECT_TRUE(app.tab()->isModified());
}

TEST(Load, UnreadableFileLeavesTheWindowAsItWas)
{
    LoadedApp app;
    app.load(app.path);
    const QString title = app.form1->windowTitle();
    app.load(app.temp.filePath("missing.ov2"));
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Impossible de lire le fichier ov2 à importer"});
    app.load(app.temp.path() + "/folder.gpx");
    QDir(app.temp.path()).mkdir("dir.gpx");
    app.load(app.temp.filePath("dir.gpx"));
    EXPECT_EQ(app.dialogs.texts("message").last(), QStringLiteral("Impossible de lire le fichier gpx"));
    // A FIFO would freeze the window waiting for a writer; a device would never end.
    ASSERT_EQ(mkfifo(QFile::encodeName(app.temp.filePath("fifo.gpx")).constData(), 0600), 0);
    app.load(app.temp.filePath("fifo.gpx"));
    ASSERT_TRUE(QFile::link("/dev/zero", app.temp.filePath("zero.ov2")));
    app.load(app.temp.filePath("zero.ov2"));
    EXPECT_EQ(app.dialogs.texts("message").mid(3), QStringList({"Impossible de lire le fichier gpx",
                                                                 "Impossible de lire le fichier ov2 à importer"}));
    QFile::remove(app.temp.filePath("fifo.gpx"));
    // A file that would not fit in memory is refused before the table is emptied.
    QList<QStringList> many;
    for (int i = 0; i < 100; ++i)
        many << QStringList{"45.00000", QString::number(i) + ".00000", QStringLiteral("P%1").arg(i)};
    const QString big = app.temp.filePath("many.ov2");
    WriteOv2File(big, many);
    app.availableMemory = 1000;
    app.load(big);
    EXPECT_EQ(app.dialogs.texts("message").last(), QStringLiteral("Mémoire insuffisante pour charger ce fichier."));
    EXPECT_EQ(app.rowOf("Brest"), 3);
    EXPECT_EQ(app.tab()->model()->rowCount(), 5);
    EXPECT_EQ(app.form1->windowTitle(), title);
    EXPECT_FALSE(app.find("Panel1")->isHidden());
    EXPECT_TRUE(app.find("BitBtn11")->isEnabled());
    EXPECT_FALSE(app.tab()->model()->busy());
}

// A big GPX file is read in two halves that give their pages back as they go;
// where the second half would start inside a comment, the halves cannot join
// and the file is read again whole: every waypoint is there, once.
TEST(Load, ABigGpxFileWhoseMiddleFallsInACommentLoadsWhole)
{
    LoadedApp app;
    QByteArray half;
    int count = 0;
    for (; half.size() < (5 << 20); ++count)
        half += "<wpt lat=\"48." + QByteArray::number(count % 1000) + "\" lon=\"2.5\"><name>P" + QByteArray::number(count) +
                "</name></wpt>\n";
    const QByteArray middle = "<!-- " + QByteArray(4000, ' ') + "<wpt lat=\"1\" lon=\"1\"><name>not a POI</name></wpt> -->\n";
    // The middle of the file, where the second half starts looking, inside the comment.
    const QByteArray file = "<gpx>\n" + half + middle + half + "</gpx>\n";
    ASSERT_LT(file.size() / 2, 6 + half.size() + middle.size() - 60);
    ASSERT_GT(file.size() / 2, 6 + half.size());
    const QString path = app.temp.filePath("grand.gpx");
    ASSERT_TRUE(WriteFile(path, file));
    app.load(path);
    EXPECT_EQ(app.tab()->table().lastRow(), 2 * count);
    EXPECT_EQ(app.label("Label9"), QString::number(2 * count));
    for (int row = 1; row <= app.tab()->table().lastRow(); ++row)
        ASSERT_NE(app.cell(row, FieldDescription), QStringLiteral("not a POI")) << row;
}

TEST(Load, ExtensionIgnoresCaseAndFewerPoisShrinkTheTable)
{
    LoadedApp app;
    app.load(app.path);
    const QString other = app.temp.filePath("deux.Ov2");
    WriteOv2File(other, {{"1", "1", "un"}, {"2", "2", "deux"}});
    app.load(other);
    EXPECT_EQ(app.tab()->table().lastRow(), 2);
    EXPECT_EQ(app.label("Label9"), QStringLiteral("2"));
}

TEST(TypicalUse, LoadClickCalculateShiftClick)
{
    LoadedApp app;
    app.load(app.path);
    ClickCell(app.grid(), app.rowOf("Rennes"), 3);
    EXPECT_EQ(app.text("Edit6"), QString::number(app.rowOf("Rennes")));
    EXPECT_EQ(app.label("Label11"), QStringLiteral("Rennes"));
    EXPECT_EQ(app.text("Edit1"), QStringLiteral("48,11730"));
    app.click("BitBtn4");
    EXPECT_EQ(app.text("Edit6"), QStringLiteral("1"));
    EXPECT_EQ(app.label("Label11"), QStringLiteral("Rennes"));
    EXPECT_EQ(app.cell(1, FieldDescription), QStringLiteral("Rennes"));
    EXPECT_EQ(app.cell(1, FieldDistance), QStringLiteral("0 m"));
    EXPECT_EQ(app.cell(1, FieldKey), QStringLiteral("00000000"));
    for (int r = 2; r <= 5; ++r)
        EXPECT_LT(app.cell(r - 1, FieldKey), app.cell(r, FieldKey));
    EXPECT_EQ(app.grid()->selectedRange(), std::make_pair(1, 1));
    EXPECT_EQ(app.grid()->topVisibleRow(), 1);
    ClickCell(app.grid(), 3, 2, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(app.grid()->selectedRange(), std::make_pair(1, 3));
}

TEST(TypicalUse, ClicksHandCoordinatesToTheCalculatorTabs)
{
    LoadedApp app;
    app.load(app.path);
    ClickCell(app.grid(), 3, 0);  // the N° column counts too
    ClickCell(app.grid(), 5, 1);
    EXPECT_EQ(app.text("Edit1"), app.cell(5, 1));
    EXPECT_EQ(app.text("Edit2"), app.cell(5, 2));
    EXPECT_EQ(app.text("Edit3"), app.cell(3, 1));
    EXPECT_EQ(app.text("Edit4"), app.cell(3, 2));
    EXPECT_EQ(app.text("Edit7"), app.cell(5, 1));
    EXPECT_EQ(app.text("Edit8"), app.cell(5, 2));
    EXPECT_EQ(app.text("Edit15"), app.cell(5, 1));
    EXPECT_EQ(app.text("Edit16"), app.cell(5, 2));
    EXPECT_EQ(app.text("Edit17"), app.cell(3, 1));
    EXPECT_EQ(app.text("Edit18"), app.cell(3, 2));
    EXPECT_EQ(app.text("Edit19"), QString());
}

TEST(GeocacheButton, ShownForGcDescriptionsOnly)
{
    LoadedApp app;
    app.load(app.path);
    ClickCell(app.grid(), app.rowOf("GC1ABCD Versailles"), 3);
    EXPECT_FALSE(app.find("BitBtn17")->isHidden());
    ClickCell(app.grid(), 1, 3);
    EXPECT_TRUE(app.find("BitBtn17")->isHidden());
    app.tab()->document().setCell(2, FieldDescription, QStringLiteral("gc lower"));
    ClickCell(app.grid(), 2, 3);
    EXPECT_TRUE(app.find("BitBtn17")->isHidden());
    // Never without the panel: a load hides the panel while it reads.
    ClickCell(app.grid(), app.rowOf("GC1ABCD Versailles"), 3);
    app.tab()->document().setReady(false);
    EXPECT_TRUE(app.find("Panel1")->isHidden());
    EXPECT_TRUE(app.find("BitBtn17")->isHidden());
    ClickCell(app.grid(), app.rowOf("GC1ABCD Versailles"), 3);
    EXPECT_TRUE(app.find("BitBtn17")->isHidden());
}

TEST(HeaderSort, DistanceAsTextAndTheBaseFoundAgain)
{
    LoadedApp app;
    app.load(app.path);
    ClickCell(app.grid(), 0, 3);  // before any run: no "0 m", Edit6 unchanged
    EXPECT_EQ(app.text("Edit6"), QStringLiteral("1"));
    EXPECT_EQ(app.cell(1, FieldDescription), QStringLiteral("Brest"));
    EXPECT_EQ(app.cell(1, FieldNumber), QStringLiteral("1"));
    const int nantes = [&] { for (int r = 1; r <= 5; ++r) if (app.cell(r, 3) == "Nantes") return r; return 0; }();
    ClickCell(app.grid(), nantes, 3);
    app.click("BitBtn4");
    ClickCell(app.grid(), 0, 4, Qt::RightButton);  // a right click on a title sorts too
    QStringList distances;
    for (int r = 1; r <= 5; ++r)
        distances << app.cell(r, FieldDistance);
    QStringList sorted = distances;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(distances, sorted);  // text order: these texts are plain ASCII
    EXPECT_EQ(app.cell(app.text("Edit6").toInt(), FieldDistance), QStringLiteral("0 m"));
    EXPECT_EQ(app.label("Label11"), QStringLiteral("Nantes"));
}

TEST(PopupMenu, ItemsFollowTheEmptyTableRule)
{
    LoadedApp app;
    auto *menu = app.find<QMenu>("PopupMenu1");
    ClickCell(app.grid(), 1, 2, Qt::RightButton);
    for (QAction *a : menu->actions()) {
        if (!a->isSeparator()) {
            EXPECT_EQ(a->isEnabled(), a->objectName() == "AjouterdesPoi1") << a->objectName().toStdString();
        }
    }
    menu->hide();
    app.load(app.path);
    ClickCell(app.grid(), app.rowOf("Brest"), 3, Qt::RightButton);
    // The seven items; undo and redo after them follow the history (empty after a load).
    const QList<QAction *> items = menu->actions();
    for (QAction *a : items.mid(0, 8))
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    for (QAction *a : items.mid(8))
        EXPECT_EQ(a->isEnabled(), a->isSeparator()) << a->objectName().toStdString();
    EXPECT_EQ(app.tab()->clickState().currentRow, app.rowOf("Brest"));
    EXPECT_EQ(app.tab()->clickState().contextDescription, QStringLiteral("Brest"));
    EXPECT_EQ(app.grid()->selectedRange(), std::make_pair(1, 1));  // the right button keeps the selection
    menu->hide();
}

TEST(Search, FindFindNextAndNotFound)
{
    LoadedApp app;
    app.load(app.path);
    auto *edit = app.find<QLineEdit>("Edit13");
    edit->setText("re");  // "Rennes" (row 2), "Brest" (row 3)
    app.click("BitBtn8");
    EXPECT_EQ(app.grid()->selectedRange(), std::make_pair(2, 2));
    EXPECT_TRUE(app.find("BitBtn8")->isHidden());
    EXPECT_FALSE(app.find("BitBtn9")->isHidden());
    app.click("BitBtn9");
    EXPECT_EQ(app.grid()->selectedRange(), std::make_pair(3, 3));
    app.click("BitBtn9");
    EXPECT_EQ(app.dialogs.texts("information"), QStringList{"La chaine de caractères\n\"re\"\nn'a pas été trouvée."});
    EXPECT_FALSE(app.find("BitBtn8")->isHidden());
    EXPECT_TRUE(app.find("BitBtn9")->isHidden());
    // Typing brings the search from the top back.
    app.click("BitBtn8");
    QTest::keyClick(edit, Qt::Key_S);
    EXPECT_FALSE(app.find("BitBtn8")->isHidden());
    EXPECT_TRUE(app.find("BitBtn9")->isHidden());
}

TEST(Search, EnterOnAnEmptyTableSearchesTheBlankRow)
{
    LoadedApp app;
    auto *edit = app.find<QLineEdit>("Edit13");
    edit->setText("x");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(app.dialogs.texts("information").size(), 1);
    edit->clear();
    app.tab()->search().BitBtn8Click();  // empty text: nothing
    EXPECT_EQ(app.dialogs.texts("information").size(), 1);
}

TEST(Delete, ShiftsRowsRenumbersAndCounts)
{
    LoadedApp app;
    const QString four = app.temp.filePath("four.ov2");
    WriteOv2File(four, {{"1", "1", "a"}, {"2", "2", "b"}, {"3", "3", "c"}, {"4", "4", "d"}});
    app.load(four);
    app.rightClickAndTrigger(2, "SupprimercePoi1");
    ASSERT_EQ(app.viewRows(), 3);
    EXPECT_EQ((QStringList{app.cell(1, 3), app.cell(2, 3), app.cell(3, 3)}), (QStringList{"a", "c", "d"}));
    EXPECT_EQ((QStringList{app.cell(1, 0), app.cell(2, 0), app.cell(3, 0)}), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(app.label("Label9"), QStringLiteral("3"));
    EXPECT_TRUE(app.tab()->isModified());
}

TEST(Delete, TheOnlyPoiLeavesABlankRow)
{
    LoadedApp app;
    const QString one = app.temp.filePath("one.ov2");
    WriteOv2File(one, {{"1", "1", "seul"}});
    app.load(one);
    ClickCell(app.grid(), 1, 3, Qt::RightButton);
    app.find<QMenu>("PopupMenu1")->hide();
    app.tab()->edits().SupprimercePoi1Click();
    EXPECT_EQ(app.tab()->table().rowCount(), 2);
    EXPECT_EQ(app.cell(1, FieldDescription), QString());
    EXPECT_EQ(app.label("Label9"), QStringLiteral("0"));
}

TEST(EditMode, EnteredThenAnotherRowClickedShowsTheMark)
{
    LoadedApp app;
    app.load(app.path);
    EnterEditMode(app, 4);
    EXPECT_TRUE(app.tab()->editMode());
    EXPECT_EQ(app.tab()->model()->fixedColor(), QColor(192, 192, 192));
    EXPECT_EQ(app.grid()->currentIndex().row(), 3);
    EXPECT_EQ(app.grid()->currentIndex().column(), 1);
    EXPECT_FALSE(app.tab()->isModified());
    // Typing goes straight into the cell.
    app.tab()->model()->setData(app.tab()->model()->index(3, 3), QStringLiteral("Nantes-Est"), Qt::EditRole);
    EXPECT_EQ(app.cell(4, 3), QStringLiteral("Nantes-Est"));
    ClickCell(app.grid(), 2, 3);
    EXPECT_FALSE(app.tab()->editMode());
    EXPECT_TRUE(app.tab()->isModified());
    EXPECT_EQ(app.tab()->model()->fixedColor(), QColor(Qt::yellow));
}

// Texts are kept a byte a character where Windows-1252 holds them, in
// UTF-16 otherwise: typed texts of either kind, and a long one, show as typed.
TEST(EditMode, TextsOfAnyScriptShowAsTyped)
{
    LoadedApp app;
    app.load(app.path);
    EnterEditMode(app, 1);
    const QString texts[] = {QStringLiteral("Москва – Café"), QStringLiteral("Œuvre « l’été » à 5 €"), QString(700, u'é'),
                             QStringLiteral("東京 🗼")};
    for (const QString &text : texts) {
        app.tab()->model()->setData(app.tab()->model()->index(0, 3), text, Qt::EditRole);
        EXPECT_EQ(app.cell(1, 3), text);
        EXPECT_EQ(app.tab()->model()->data(app.tab()->model()->index(0, 3), Qt::DisplayRole).toString(), text);
    }
}

TEST(EditMode, RightClickOpensTheConverterOnCoordinatesOnly)
{
    LoadedApp app;
    app.load(app.path);
    EnterEditMode(app, 1);
    ClickCell(app.grid(), 2, 3, Qt::RightButton);  // a description: nothing
    EXPECT_FALSE(app.form3->isVisible());
    EXPECT_FALSE(app.find<QMenu>("PopupMenu1")->isVisible());
    ClickCell(app.grid(), app.rowOf("Brest"), 1, Qt::RightButton);  // 48,39040
    EXPECT_TRUE(app.tab()->editMode());
    EXPECT_EQ(app.tab()->clickState().currentRow, app.rowOf("Brest"));
    ASSERT_TRUE(app.form3->isVisible());
    EXPECT_EQ(app.form3->windowTitle(), QStringLiteral("Latitude"));
    EXPECT_EQ(app.form3->findChild<QLineEdit *>("Edit1")->text(), QStringLiteral("48"));
    EXPECT_EQ(app.form3->findChild<QLineEdit *>("Edit2")->text(), QStringLiteral("23,424000"));
    EXPECT_EQ(app.form3->findChild<QComboBox *>("ComboBox1")->currentText(), QStringLiteral("N"));
}

TEST(Converter, OkWritesIntoTheRowLastClicked)
{
    LoadedApp app;
    app.load(app.path);
    EnterEditMode(app, 1);
    const int brest = app.rowOf("Brest");
    ClickCell(app.grid(), brest, 2, Qt::RightButton);  // -4,48610
    ASSERT_TRUE(app.form3->isVisible());
    EXPECT_EQ(app.form3->windowTitle(), QStringLiteral("Longitude"));
    EXPECT_EQ(app.form3->findChild<QComboBox *>("ComboBox1")->currentText(), QStringLiteral("W"));
    EXPECT_EQ(app.form3->findChild<QLineEdit *>("Edit1")->text(), QStringLiteral("4"));
    // A click on another row while the window is open moves the target.
    ClickCell(app.grid(), 1, 3);
    app.form3->findChild<QLineEdit *>("Edit2")->setText("30");
    app.form3->findChild<QPushButton *>("BitBtn1")->click();
    EXPECT_FALSE(app.form3->isVisible());
    EXPECT_EQ(app.cell(1, FieldLongitude), QStringLiteral("-4,50000"));
    EXPECT_EQ(app.cell(brest, FieldLongitude), QStringLiteral("-4,48610"));
    EXPECT_TRUE(app.tab()->isModified());
}

TEST(Converter, BothBoxesEmptyEmptiesTheCell)
{
    LoadedApp app;
    app.load(app.path);
    EnterEditMode(app, 1);
    ClickCell(app.grid(), 1, 1, Qt::RightButton);
    app.form3->findChild<QLineEdit *>("Edit1")->clear();
    app.form3->findChild<QLineEdit *>("Edit2")->clear();
    app.form3->BitBtn1Click();
    EXPECT_EQ(app.cell(1, FieldLatitude), QString());
}

TEST(Load, AnotherExtensionReadsNothingAndEmptiesTheTable)
{
    LoadedApp app;
    app.load(app.path);
    const QString title = app.form1->windowTitle();
    const QString text = app.temp.filePath("notes.txt");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<wpt lat=\"1\" lon=\"2\"></wpt>");
    f.close();
    app.load(text);
    EXPECT_EQ(app.cell(1, FieldDescription), QString());
    EXPECT_EQ(app.label("Label9"), QStringLiteral("0"));
    EXPECT_EQ(app.form1->windowTitle(), title);
    EXPECT_FALSE(app.find("Panel1")->isHidden());
    EXPECT_TRUE(app.dialogs.texts("message").isEmpty());
}

TEST(LongWork, CalculerAndHeaderSortsOnAMillionRowsShowTheProgressWindow)
{
    LoadedApp app;
    const int n = 1'000'001;
    QList<QStringList> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i)
        rows.append({QString::number(40 + i % 10), QString::number(i % 7), QStringLiteral("p")});
    ASSERT_TRUE(WriteOv2File(app.path, rows));
    app.load(app.path);
    ASSERT_EQ(app.tab()->model()->rowCount(), n);
    auto progressShownDuring = [&](const std::function<void()> &work) {
        bool shown = false;
        QTimer::singleShot(0, app.tab(), [&] {
            const auto *p = app.tab()->findChild<QProgressDialog *>();
            shown = p && p->isVisible();
        });
        work();
        return shown && !app.tab()->findChild<QProgressDialog *>();
    };
    EXPECT_TRUE(progressShownDuring([&] { app.click("BitBtn4"); }));
    EXPECT_TRUE(progressShownDuring([&] { ClickCell(app.grid(), 0, FieldDescription); }));
    EXPECT_EQ(app.label("Label9"), QString::number(n));
}

TEST(Selection, SurvivesDeletesSortsAndClicksOutsideTheCells)
{
    LoadedApp app;
    const QString six = app.temp.filePath("six.ov2");
    WriteOv2File(six, {{"1", "1", "a"}, {"2", "2", "b"}, {"3", "3", "c"}, {"4", "4", "d"}, {"5", "5", "e"}, {"6", "6", "f"}});
    app.load(six);
    ClickCell(app.grid(), 2, 3);
    ClickCell(app.grid(), 5, 3, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(app.selected(), std::make_pair(2, 5));
    // A delete inside the range shrinks it by one.
    app.rightClickAndTrigger(3, "SupprimercePoi1");
    EXPECT_EQ(app.selected(), std::make_pair(2, 4));
    EXPECT_EQ(app.viewRows(), 5);
    // A delete above it shifts it with its rows; below it leaves it alone.
    app.rightClickAndTrigger(1, "SupprimercePoi1");
    EXPECT_EQ(app.selected(), std::make_pair(1, 3));
    app.rightClickAndTrigger(4, "SupprimercePoi1");
    EXPECT_EQ(app.selected(), std::make_pair(1, 3));
    EXPECT_EQ((QStringList{app.cell(1, 3), app.cell(2, 3), app.cell(3, 3)}), (QStringList{"b", "d", "e"}));
    // A header sort keeps the same row numbers selected.
    ClickCell(app.grid(), 0, FieldLatitude);
    EXPECT_EQ(app.selected(), std::make_pair(1, 3));
    // A click below the last row or right of the last column changes nothing.
    const QPoint below(20, app.grid()->viewport()->height() - 5);
    QTest::mouseClick(app.grid()->viewport(), Qt::LeftButton, Qt::NoModifier, below);
    const QPoint right(app.grid()->viewport()->width() - 5, 5);
    QTest::mouseClick(app.grid()->viewport(), Qt::LeftButton, Qt::NoModifier, right);
    EXPECT_EQ(app.selected(), std::make_pair(1, 3));
    EXPECT_EQ(app.grid()->selectionModel()->selectedRows(1).size(), 3);
}

TEST(Selection, ShiftClickAfterASearchExtendsFromTheHit)
{
    LoadedApp app;
    app.load(app.path);
    ClickCell(app.grid(), 1, 3);
    app.find<QLineEdit>("Edit13")->setText(app.cell(5, FieldDescription));
    app.click("BitBtn8");
    ASSERT_EQ(app.selected(), std::make_pair(5, 5));
    ClickCell(app.grid(), 3, 3, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(app.selected(), std::make_pair(3, 5));
}

TEST(BasePanel, AlwaysNamesThePoiThatCalculerMeasuresFrom)
{
    LoadedApp app;
    app.load(app.path);
    // A sort before any run keeps the number; the panel names the POI now there.
    ClickCell(app.grid(), 0, FieldDescription);
    EXPECT_EQ(app.text("Edit6"), QStringLiteral("1"));
    EXPECT_EQ(app.label("Label11"), app.cell(1, FieldDescription));
    // Deleting the base row or one above it: the panel follows.
    ClickCell(app.grid(), 3, 3);
    app.rightClickAndTrigger(2, "SupprimercePoi1");
    EXPECT_EQ(app.text("Edit6"), QStringLiteral("3"));
    EXPECT_EQ(app.label("Label11"), app.cell(3, FieldDescription));
    // A number past the last row falls back to 1.
    ClickCell(app.grid(), 4, 3);
    app.rightClickAndTrigger(4, "SupprimercePoi1");
    EXPECT_EQ(app.text("Edit6"), QStringLiteral("1"));
    const QString named = app.label("Label11");
    EXPECT_EQ(named, app.cell(1, FieldDescription));
    app.click("BitBtn4");
    EXPECT_EQ(app.cell(1, FieldDescription), named);
    EXPECT_EQ(app.cell(1, FieldDistance), QStringLiteral("0 m"));
}

TEST(EditMode, AnEditShowsTheMarkAtOnceAndIsNeverLostSilently)
{
    LoadedApp app;
    app.load(app.path);
    app.rightClickAndTrigger(2, "ModifierletextedecePoi1");
    ASSERT_TRUE(app.tab()->editMode());
    // Cells are editable in edit mode only.
    const QModelIndex description = app.grid()->model()->index(1, FieldDescription);
    EXPECT_TRUE(description.flags() & Qt::ItemIsEditable);
    // The editor closed on the same text changes nothing.
    app.grid()->model()->setData(description, description.data());
    EXPECT_TRUE(app.find("Label26")->isHidden());
    app.grid()->setCurrentIndex(description);
    app.grid()->edit(description);
    auto *editor = qobject_cast<QLineEdit *>(app.grid()->indexWidget(description));
    if (!editor)
        editor = app.grid()->viewport()->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Renommé"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the editor commits on a queued call
    EXPECT_EQ(app.cell(2, FieldDescription), QStringLiteral("Renommé"));
    EXPECT_TRUE(app.tab()->editMode());
    EXPECT_FALSE(app.find("Label26")->isHidden());
    // Loading now asks first; "Annuler" keeps the edit.
    app.dialogs.answers = {false};
    app.load(app.path);
    EXPECT_EQ(app.dialogs.texts("okcancel").size(), 1);
    EXPECT_EQ(app.cell(2, FieldDescription), QStringLiteral("Renommé"));
    // Out of edit mode nothing is editable.
    ClickCell(app.grid(), 4, 3);
    EXPECT_FALSE(app.tab()->editMode());
    EXPECT_FALSE(app.grid()->model()->index(1, FieldDescription).flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(app.find("Label26")->isHidden());
}

TEST(Search, TheEnterThatClosesNotFoundDoesNotSearchAgain)
{
    LoadedApp app;
    app.load(app.path);
    auto *edit = app.find<QLineEdit>("Edit13");
    edit->setFocus();
    edit->setText(QStringLiteral("zzz"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(app.dialogs.texts("information").size(), 1);
    // The Enter pressed in the message box is released in the search box.
    QTest::keyRelease(edit, Qt::Key_Return);
    QTest::keyRelease(edit, Qt::Key_Return);
    EXPECT_EQ(app.dialogs.texts("information").size(), 1);
    QTest::keyClick(edit, Qt::Key_Enter);
    EXPECT_EQ(app.dialogs.texts("information").size(), 2);
}

TEST(ViewUpdates, ConverterResultsAndAddedRowsReachTheGrid)
{
    LoadedApp app;
    app.load(app.path);
    QSignalSpy changed(app.grid()->model(), &QAbstractItemModel::dataChanged);
    ClickCell(app.grid(), 2, FieldLatitude);
    app.tab()->edits().writeConverterResult(FieldLatitude, QStringLiteral("12,50000"));
    EXPECT_EQ(app.cell(2, FieldLatitude), QStringLiteral("12,50000"));
    ASSERT_FALSE(changed.isEmpty());
    const auto topLeft = changed.last().at(0).value<QModelIndex>(), bottomRight = changed.last().at(1).value<QModelIndex>();
    EXPECT_LE(topLeft.row(), 1);
    EXPECT_GE(bottomRight.row(), 1);
    EXPECT_FALSE(app.find("Label26")->isHidden());
}


TEST(EditMode, TextBeingTypedIsNeverLostByACommand)
{
    LoadedApp app;
    app.load(app.path);
    app.form1->activateWindow();
    // Ctrl+O from the editor: the text counts as a change, so the load asks first.
    QLineEdit *editor = TypeWithoutEnter(app, 2, QStringLiteral("PENDING"));
    ASSERT_NE(editor, nullptr);
    app.dialogs.answers = {false};
    QTest::keyClick(editor, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(app.dialogs.texts("okcancel").size(), 1);
    EXPECT_EQ(app.cell(2, FieldDescription), QStringLiteral("PENDING"));
    EXPECT_FALSE(app.find("Label26")->isHidden());
    // Closing the window the same way asks too.
    app.tab()->setModified(false);
    editor = TypeWithoutEnter(app, 3, QStringLiteral("TYPED"));
    ASSERT_NE(editor, nullptr);
    app.dialogs.answers = {false};
    EXPECT_FALSE(app.form1->close());
    EXPECT_EQ(app.dialogs.texts("okcancel").size(), 2);
    EXPECT_EQ(app.cell(3, FieldDescription), QStringLiteral("TYPED"));
    // "Calculer" with an editor open: the typed text stays with its POI through the sort.
    editor = TypeWithoutEnter(app, 4, QStringLiteral("MOVED"));
    ASSERT_NE(editor, nullptr);
    const QString latitude = app.cell(4, FieldLatitude);
    app.click("BitBtn4");
    const int row = app.rowOf(QStringLiteral("MOVED"));
    ASSERT_GT(row, 0);
    EXPECT_EQ(app.cell(row, FieldLatitude), latitude);
}

TEST(Selection, AClickOnTheNumberColumnLeavesTheHighlightedRows)
{
    LoadedApp app;
    app.load(app.path);
    app.grid()->selectRows(2, 3);
    ClickCell(app.grid(), 5, FieldNumber);
    // The base moves as documented; the selection is still what is highlighted.
    EXPECT_EQ(app.find<QLineEdit>("Edit6")->text(), QStringLiteral("5"));
    EXPECT_EQ(app.selected(), (std::pair<int, int>{2, 3}));
    EXPECT_TRUE(app.grid()->selectionModel()->isRowSelected(1, QModelIndex()));
    EXPECT_TRUE(app.grid()->selectionModel()->isRowSelected(2, QModelIndex()));
    // Saving the selection takes those two rows.
    const QString out = app.temp.filePath("two.ov2");
    app.dialogs.fileNames = {out};
    app.click("BitBtn7");
    PoiTable back;
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadOv2(f.readAll(), back, u',').counter, 2);
}

TEST(Load, AFileThatCannotBeReadKeepsTheTable)
{
    // Its size reads as 0, but reading it fails: the documented message, the table as it was.
    LoadedApp app;
    app.load(app.path);
    const QString title = app.form1->windowTitle();
    const QString mem = app.temp.filePath("mem.ov2");
    ASSERT_TRUE(QFile::link("/proc/self/mem", mem));
    app.load(mem);
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Impossible de lire le fichier ov2 à importer"});
    EXPECT_EQ(app.tab()->table().lastRow(), 5);
    EXPECT_EQ(app.form1->windowTitle(), title);
}

TEST(EditMode, LeavingByAClickHighlightsTheWholeClickedRow)
{
    LoadedApp app;
    app.load(app.path);
    EnterEditMode(app, 4);
    ASSERT_TRUE(app.tab()->editMode());
    ClickCell(app.grid(), 2, FieldDescription);
    EXPECT_FALSE(app.tab()->editMode());
    EXPECT_TRUE(app.grid()->selectionModel()->isRowSelected(1, QModelIndex()));
    EXPECT_EQ(app.selected(), (std::pair<int, int>{2, 2}));
}

TEST(Load, TheMemoryCheckCountsTheRowsAndWhatTheLoadFrees)
{
    LoadedApp app;
    app.load(app.path);
    QList<QStringList> many;
    for (int i = 0; i < 200; ++i)
        many << QStringList{"45.00000", QString::number(i % 180) + ".00000", QStringLiteral("P%1").arg(i)};
    const QString big = app.temp.filePath("many.ov2");
    WriteOv2File(big, many);
    // The five rows loaded now are given back by the load.
    const qint64 needed = EstimatedLoadBytes(CodecNamed(u"ov2"), QFileInfo(big).size(), 200) - TableBytes(5);
    app.availableMemory = needed - 1;  // one byte less: refused, the table kept
    app.load(big);
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Mémoire insuffisante pour charger ce fichier."});
    EXPECT_EQ(app.tab()->table().lastRow(), 5);
    app.availableMemory = needed;  // exactly enough: loaded
    app.load(big);
    EXPECT_EQ(app.dialogs.texts("message").size(), 1);
    EXPECT_EQ(app.tab()->table().lastRow(), 200);
}

// A file too big for the memory is refused after a count of its rows, a block
// at a time: never read whole (that took the memory the check is there to keep).
TEST(Load, AFileTooBigIsRefusedBeforeItIsRead)
{
    LoadedApp app;
    app.load(app.path);
    const QString big = app.temp.filePath("big.gpx");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\"?><gpx>");
        ASSERT_TRUE(f.resize(qint64(64) << 20));  // a hole: 64 MiB that take no disk
    }
    if (!bench::ResetPeak())
        GTEST_SKIP() << "the peak memory of the process cannot be started over here";
    const long before = bench::PeakKiB();
    app.availableMemory = qint64(60) << 20;  // less than the file: it would be held whole
    app.load(big);
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Mémoire insuffisante pour charger ce fichier."});
    EXPECT_EQ(app.tab()->table().lastRow(), 5);
    EXPECT_LT(bench::PeakKiB() - before, 32 * 1024);
}

TEST(BasePanel, ABaseOnTheLastRowSurvivesAHeaderSortAndADelete)
{
    LoadedApp app;
    app.load(app.path);
    // The base on the last row, measured from: its "0 m" row is found again after a sort.
    ClickCell(app.grid(), 5, FieldDescription);
    const QString base = app.cell(5, FieldDescription);
    app.click("BitBtn4");
    ASSERT_EQ(app.cell(1, FieldDescription), base);
    ClickCell(app.grid(), 0, FieldDescription);  // a header sort
    const int row = app.text("Edit6").toInt();
    EXPECT_EQ(app.cell(row, FieldDistance), QStringLiteral("0 m"));
    EXPECT_EQ(app.label("Label11"), base);
    // The number on the last row, then a row deleted: past the last row it falls back to 1.
    ClickCell(app.grid(), 5, FieldDescription);
    EXPECT_EQ(app.text("Edit6"), QStringLiteral("5"));
    app.rightClickAndTrigger(1, "SupprimercePoi1");
    EXPECT_EQ(app.text("Edit6"), QStringLiteral("1"));
    EXPECT_EQ(app.label("Label11"), app.cell(1, FieldDescription));
    // Deleting the last row while it is the base does the same.
    ClickCell(app.grid(), 4, FieldDescription);
    app.rightClickAndTrigger(4, "SupprimercePoi1");
    EXPECT_EQ(app.text("Edit6"), QStringLiteral("1"));
    EXPECT_EQ(app.label("Label11"), app.cell(1, FieldDescription));
    // A base that the deletion below it leaves on the last row stays.
    ClickCell(app.grid(), 2, FieldDescription);
    app.rightClickAndTrigger(3, "SupprimercePoi1");
    EXPECT_EQ(app.text("Edit6"), QStringLiteral("2"));
    EXPECT_EQ(app.label("Label11"), app.cell(2, FieldDescription));
}
