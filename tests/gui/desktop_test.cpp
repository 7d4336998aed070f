// The window as a desktop program: drops, keys, what disabled buttons and
// narrow screens look like.
#include "support/app_fixture.h"
#include "support/poi_files.h"

#include "table/poi_grid.h"
#include "table/poi_table_model.h"

#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "maps/map_page_file.h"
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

struct DesktopApp : AppFixture {
    DesktopApp()
    {
        show();
        QApplication::setActiveWindow(form1.get());
        path = temp.filePath("pois.ov2");
        WriteOv2File(path, SamplePois());
    }
    // A drag of `files` entering `target`, then dropped; whether each was accepted.
    std::pair<bool, bool> dragAndDrop(QWidget *target, const QStringList &files)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &f : files)
            urls << QUrl::fromLocalFile(f);
        mime.setUrls(urls);
        mime.setText(files.join(u'\n'));
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return {enter.isAccepted(), drop.isAccepted()};
    }
    int rows() const { return tab()->model()->rowCount(); }
    QString path;
};

}  // namespace

TEST(Desktop, DroppedPoiFilesLoadLikeTheOpenDialog)
{
    DesktopApp app;
    EXPECT_EQ(app.dragAndDrop(app.form1.get(), {app.path}), std::make_pair(true, true));
    EXPECT_EQ(app.rows(), 5);
    EXPECT_EQ(app.find<QLabel>("Label9")->text(), QStringLiteral("5"));
    EXPECT_EQ(app.form1->windowTitle(), app.path);
    EXPECT_TRUE(app.dialogs.texts("open").isEmpty());
    // On a text box too, whose text stays as it was; the unsaved-changes question comes first.
    app.tab()->setModified(true);
    const QString other = app.temp.filePath("deux.gpx");
    WriteFile(other, "<gpx><wpt lat=\"1\" lon=\"2\"><name>un</name></wpt></gpx>");
    app.dialogs.answers = {false};
    app.dragAndDrop(app.find("Edit13"), {other});
    EXPECT_EQ(app.dialogs.texts("okcancel").size(), 1);
    EXPECT_EQ(app.rows(), 5);
    app.dialogs.answers = {true};
    app.dragAndDrop(app.find("Edit13"), {other});
    EXPECT_EQ(app.rows(), 1);
    EXPECT_TRUE(app.text("Edit13").isEmpty());
    // Anything else is refused by the cursor.
    WriteFile(app.temp.filePath("notes.txt"), "x");
    EXPECT_EQ(app.dragAndDrop(app.form1.get(), {app.temp.filePath("notes.txt")}), std::make_pair(false, false));
    EXPECT_EQ(app.dragAndDrop(app.form1.get(), {app.path, other}).first, false);
    EXPECT_EQ(app.rows(), 1);
    // An unreadable dropped file says so, as from the dialog.
    app.dragAndDrop(app.form1.get(), {app.temp.filePath("gone.ov2")});
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Impossible de lire le fichier ov2 à importer"});
}

TEST(Desktop, KeyboardOpensSearchesAndShowsTheRowMenu)
{
    DesktopApp app;
    // Ctrl+O: the open dialog, in the home folder the first time, then in the folder of the last load.
    app.dialogs.fileNames = {app.path};
    QTest::keyClick(app.form1.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(app.dialogs.texts("open").size(), 1);
    EXPECT_EQ(app.dialogs.shown.back().folder, QDir::homePath());
    EXPECT_EQ(app.rows(), 5);
    QTest::keyClick(app.form1.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(app.dialogs.shown.back().folder, app.tab()->importFolder());
    EXPECT_TRUE(app.dialogs.shown.back().folder.startsWith(app.temp.path()));
    // Ctrl+F: the search box; Enter searches, F3 finds the next one.
    QTest::keyClick(app.form1.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), app.find("Edit13"));
    QTest::keyClicks(app.find("Edit13"), "e");
    app.find<QPushButton>("BitBtn8")->click();
    ASSERT_FALSE(app.find("BitBtn9")->isHidden());
    const int first = app.tab()->grid()->currentIndex().row();
    QTest::keyClick(app.form1.get(), Qt::Key_F3);
    EXPECT_GT(app.tab()->grid()->currentIndex().row(), first);
    // The Menu key and Shift+F10 open the row menu on the current row.
    PoiGrid *grid = app.tab()->grid();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(2, 3));
    auto *menu = app.find<QMenu>("PopupMenu1");
    QTest::keyClick(grid, Qt::Key_Menu);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(app.tab()->clickState().currentRow, 3);
    EXPECT_EQ(app.tab()->clickState().contextDescription, app.tab()->table().field(3, FieldDescription));
    menu->hide();
    grid->setCurrentIndex(grid->model()->index(4, 1));
    QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(app.tab()->clickState().currentRow, 5);
    menu->hide();
}

TEST(Desktop, DisabledIconsAreGreyAndCoordinatesFitTheirColumns)
{
    DesktopApp app;
    auto *print = app.find<QPushButton>("BitBtn10");
    ASSERT_FALSE(print->isEnabled());
    const QImage normal = print->icon().pixmap(22, QIcon::Normal).toImage();
    const QImage disabled = print->icon().pixmap(22, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_NE(normal, disabled);
    int coloured = 0;
    for (int y = 0; y < disabled.height(); ++y)
        for (int x = 0; x < disabled.width(); ++x) {
            const QRgb p = disabled.pixel(x, y);
            coloured += qAlpha(p) > 0 && (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p));
        }
    EXPECT_EQ(coloured, 0);
    PoiGrid *grid = app.tab()->grid();
    const int text = grid->fontMetrics().horizontalAdvance(QStringLiteral("-158,58900"));
    EXPECT_GT(grid->columnWidth(FieldLongitude), text);
    EXPECT_GE(grid->columnWidth(FieldLatitude), 70);
}

TEST(Desktop, OnAScreenNarrowerThanTheWindowEverythingStaysInView)
{
    DesktopApp app;
    const QRect available = app.form1->screen()->availableGeometry();
    ASSERT_LT(available.width(), 860) << "the offscreen screen is expected at 800x600";
    EXPECT_LE(app.form1->frameGeometry().width(), available.width());
    EXPECT_LE(app.form1->height(), available.height());
    auto *scroll = app.find<QScrollArea>("ScrollBox1");
    QApplication::processEvents();
    // The page narrows to the screen: nothing scrolls sideways.
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
    // The "*" mark and the internal-browser box are in view, not under the scroll bar.
    QWidget *mark = app.find("Label26");
    app.tab()->setModified(true);
    QApplication::processEvents();
    for (QWidget *w : {mark, app.find("CheckBox1")}) {
        const QRect inViewport(w->mapTo(scroll->viewport(), QPoint(0, 0)), w->size());
        EXPECT_TRUE(scroll->viewport()->rect().contains(QRect(inViewport.topLeft(), QSize(inViewport.width(), 1))))
            << w->objectName().toStdString() << " at " << inViewport.x() << "+" << inViewport.width() << " of "
            << scroll->viewport()->width();
    }
    // The load button is on screen.
    const QPoint load = app.find("BitBtn3")->mapTo(app.form1.get(), QPoint(0, 0));
    EXPECT_TRUE(app.form1->rect().contains(load));
}

TEST(Desktop, OptionsAreAnsweredWithoutAWindow)
{
    // --version and --help print and exit; they are not file names to report.
    for (const char *option : {"--version", "--help"}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ORVALIS_APP), {QString::fromLatin1(option)});
        ASSERT_TRUE(p.waitForFinished(20000)) << option;
        EXPECT_EQ(p.exitCode(), 0) << option;
        const QByteArray out = p.readAllStandardOutput();
        EXPECT_TRUE(out.startsWith(std::strcmp(option, "--version") == 0 ? QByteArray("orvalis " ORVALIS_VERSION "\n")
                                                                          : QByteArray("Usage: orvalis")))
            << out.toStdString();
    }
}

TEST(Desktop, TerminationRemovesThePageFoldersOfRunsThatAreGone)
{
    // A folder left by a run killed earlier is removed at start; SIGTERM ends the program normally.
    QTemporaryDir temp;
    const QString stale = temp.filePath("orvalis-" + CurrentUserName() + "-zzzzzz");
    ASSERT_TRUE(QDir().mkdir(stale));
    ASSERT_EQ(chmod(QFile::encodeName(stale).constData(), 0700), 0);
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(WriteFile(stale + "/" + PageFolderMarker(), QByteArray::number(child)));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TEMP", temp.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORVALIS_APP), {});
    ASSERT_TRUE(p.waitForStarted(20000));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000 && QFileInfo::exists(stale))
        QTest::qWait(50);
    EXPECT_FALSE(QFileInfo::exists(stale));
    QTest::qWait(300);
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}

TEST(Desktop, TheRowMenuOpensBesideItsRowAfterALoadAndOutOfView)
{
    DesktopApp app;
    QList<QStringList> rows;
    for (int i = 0; i < 300; ++i)
        rows << QStringList{QString::number(40 + i * 0.01, 'f', 5), "2.00000", QStringLiteral("POI %1").arg(i)};
    const QString big = app.temp.filePath("big.ov2");
    WriteOv2File(big, rows);
    app.load(big);
    PoiGrid *grid = app.tab()->grid();
    grid->setFocus();
    auto *menu = app.find<QMenu>("PopupMenu1");
    // Right after a load row 1 is current.
    QTest::keyClick(grid, Qt::Key_Menu);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(app.tab()->clickState().currentRow, 1);
    menu->hide();
    // A current row scrolled out of view comes back, and the menu opens beside it.
    grid->setCurrentIndex(grid->model()->index(249, 3));
    grid->scrollToTop();
    QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(app.tab()->clickState().currentRow, 250);
    const QRect cell = grid->visualRect(grid->model()->index(249, 3));
    EXPECT_TRUE(grid->viewport()->rect().intersects(cell));
    const QRect onScreen(grid->viewport()->mapToGlobal(QPoint(0, 0)), grid->viewport()->size());
    EXPECT_TRUE(onScreen.adjusted(-5, -5, 5, 5).contains(menu->pos())) << menu->pos().y() << " " << onScreen.top();
    menu->hide();
}
