#include "support/app_fixture.h"
#include "support/grid_clicks.h"
#include "support/poi_files.h"

#include "maps/map_commands.h"
#include "table/edit_commands.h"
#include "table/search_commands.h"

#include "maps/embedded_browser.h"
#include "maps/map_page_file.h"
#include "maps/map_publisher.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <sys/stat.h>
#include <unistd.h>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

struct MapApp : AppFixture {
    explicit MapApp(const QString &browser = "firefox.desktop", const QString &tempDir = {})
        : AppFixture(u',', {}, tempDir)
    {
        system.entry = browser;
        show();
        const QString path = temp.filePath("pois.ov2");
        WriteOv2File(path, SamplePois());
        load(path);
    }
    void rightClick(int row)
    {
        ClickCell(tab()->grid(), row, 3, Qt::RightButton);
        find<QMenu>("PopupMenu1")->hide();
    }
    void trigger(const char *action) { find<QAction>(action)->trigger(); }
    QString page() const
    {
        QFile f(form1->publisher()->pagePath());
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
};

}  // namespace

TEST(MapCommands, SinglePoiEntersMapModeAndLaunchesTheDefaultBrowser)
{
    MapApp app;
    app.rightClick(2);
    app.trigger("VisualisercePoisurlacarte1");
    EXPECT_FALSE(app.find("BitBtn12")->isHidden());  // map mode even for the external browser
    EXPECT_TRUE(app.find("BitBtn11")->isHidden());
    EXPECT_TRUE(app.page().contains("title: '" + app.tab()->table().field(2, FieldDescription) + "'"));
    ASSERT_EQ(app.system.started.size(), 1);
    EXPECT_EQ(app.system.started.first(), "firefox|-url|" + app.form1->publisher()->pagePath() + "|-fullscreen");
    EXPECT_EQ(app.tab()->pinMode(), PinMode::View);
    EXPECT_EQ(app.tab()->grid()->selectedRange(), std::make_pair(2, 2));
    // A left click on a POI row goes back to the table.
    ClickCell(app.tab()->grid(), 3, 3);
    EXPECT_TRUE(app.find("BitBtn12")->isHidden());
}

TEST(MapCommands, UnknownBrowserFallsBackToTheDesktopThenSaysSo)
{
    MapApp app("org.gnome.Epiphany.desktop");
    app.rightClick(1);
    app.trigger("VisualisercePoisurlacarte1");
    EXPECT_TRUE(app.system.started.isEmpty());
    ASSERT_EQ(app.system.opened.size(), 1);
    EXPECT_EQ(app.system.opened.first(), QUrl::fromLocalFile(app.form1->publisher()->pagePath()));
    EXPECT_TRUE(app.dialogs.texts("message").isEmpty());
    app.system.urlResult = 2;
    app.trigger("VisualisercePoisurlacarte1");
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Navigateur non identifié"});
}

TEST(MapCommands, SelectionMapInTheMapWindow)
{
    MapApp app;
    app.tab()->grid()->selectRows(1, 5);
    app.trigger("VisualiserlesPoiselectionnssurlacarte1");
    EXPECT_EQ(app.form2->size(), QSize(973, 723));
    EXPECT_FALSE(app.form2->isVisible());  // the external browser shows it
    EXPECT_EQ(app.form2->windowTitle(), app.form1->windowTitle());
    const QString page = app.page();
    EXPECT_EQ(page.count("icon: iconRed});"), 1);
    EXPECT_EQ(page.count("icon: iconGreen});"), 1);
    EXPECT_EQ(page.count("icon: iconGrey});"), 3);
    EXPECT_EQ(app.text("Edit34"), QString(page.mid(page.indexOf("\nzoom: ") + 7).section(u',', 0, 0)));
    EXPECT_TRUE(app.find("BitBtn12")->isHidden());  // the first tab stays in table mode
    // With the embedded browser chosen the window opens.
    app.find<QCheckBox>("CheckBox1")->setChecked(true);
    app.tab()->grid()->selectRows(2, 3);
    app.trigger("VisualiserlesPoiselectionnssurlacarte1");
    EXPECT_TRUE(app.form2->isVisible());
    EXPECT_EQ(app.page().count("icon: iconGrey});"), 2);
}

TEST(MapCommands, SelectionMapLimitedToFiftyThousandRows)
{
    MapApp app;
    app.tab()->document().resetTable([](PoiTable &t) {
        t.setRowCount(50002);
        for (int r = 1; r <= 50001; ++r) {
            t.setField(r, FieldLatitude, QStringLiteral("48"));
            t.setField(r, FieldLongitude, QStringLiteral("2"));
        }
    });
    app.tab()->grid()->selectRows(1, 50001);
    app.trigger("VisualiserlesPoiselectionnssurlacarte1");
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Tableau limité à 50.000 lignes"});
    EXPECT_EQ(app.page().count("new google.maps.Marker"), 50000);
}

TEST(MapCommands, CircleAroundTheContextPoi)
{
    MapApp app;
    app.find<QLineEdit>("Edit35")->setText("25");
    app.rightClick(4);
    app.trigger("TraceruncercleunedistancedunPoi1");
    const QString page = app.page();
    EXPECT_TRUE(page.contains("\npopulation:25000\n"));
    EXPECT_TRUE(page.contains("\nzoom: 9,center: myLatlng"));
    EXPECT_EQ(page.count("new google.maps.Marker"), 5);  // the whole table
    EXPECT_EQ(app.form2->windowTitle(), app.form1->windowTitle() + "                      Rayon cercle = 25 km");
    EXPECT_EQ(app.text("Edit34"), QStringLiteral("9"));
    EXPECT_EQ(app.tab()->grid()->selectedRange(), std::make_pair(4, 4));
    // A radius that is no whole number draws 100 km.
    app.find<QLineEdit>("Edit35")->setText("2,5");
    app.trigger("TraceruncercleunedistancedunPoi1");
    EXPECT_TRUE(app.page().contains("\npopulation:100000\n"));
    EXPECT_TRUE(app.form2->windowTitle().endsWith("Rayon cercle = 2,5 km"));
}

TEST(MapCommands, EmptyContextDrawsNothing)
{
    AppFixture app;
    app.show();
    ClickCell(app.tab()->grid(), 1, 2, Qt::RightButton);
    app.find<QMenu>("PopupMenu1")->hide();
    app.tab()->maps().VisualisercePoisurlacarte1Click();
    app.tab()->maps().TraceruncercleunedistancedunPoi1Click();
    EXPECT_FALSE(app.form1->publisher()->pageWritten());
    EXPECT_TRUE(app.find("BitBtn12")->isHidden());
}

TEST(MapCommands, PageFolderThatCannotBeCreatedShowsNoPage)
{
    QTemporaryDir temp;
    const QString notAFolder = temp.filePath("file");
    QFile(notAFolder).open(QIODevice::WriteOnly);
    MapApp app("firefox.desktop", notAFolder);
    app.rightClick(1);
    app.trigger("VisualisercePoisurlacarte1");
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Impossible de créer le fichier temporaire \"Orvalis.htm\""});
    EXPECT_TRUE(app.system.started.isEmpty());
    EXPECT_TRUE(app.system.opened.isEmpty());
    app.find<QCheckBox>("CheckBox1")->setChecked(true);
    app.trigger("DplacercePoisurlacarte1");
    EXPECT_TRUE(app.tab()->tabBrowser()->requestedFile().isEmpty());
    EXPECT_EQ(app.dialogs.texts("message").size(), 2);
}

TEST(MapCommands, PlantedPageFoldersAreNeverShownAndOursGoesOnClose)
{
    QTemporaryDir temp;
    // Another user's folder under the old fixed name, and a link under the same name with the user's suffix.
    const QString planted = temp.filePath("orvalis-" + CurrentUserName());
    QDir().mkpath(planted);
    WriteFile(planted + "/Orvalis.htm", "<script>planted()</script>");
    if (getuid() == 0) {
        ASSERT_EQ(chown(QFile::encodeName(planted).constData(), 65534, 65534), 0);
    }
    ASSERT_TRUE(QFile::link(planted, temp.filePath("orvalis-" + CurrentUserName() + "-XXXXXX")));
    std::unique_ptr<MapApp> app = std::make_unique<MapApp>("firefox.desktop", temp.path());
    app->find<QCheckBox>("CheckBox1")->setChecked(true);
    app->rightClick(2);
    app->trigger("VisualisercePoisurlacarte1");
    const QString page = app->form1->publisher()->pagePath();
    const QString folder = QFileInfo(page).path();
    EXPECT_TRUE(IsPrivateFolder(folder));
    EXPECT_NE(QFileInfo(folder).canonicalFilePath(), QFileInfo(planted).canonicalFilePath());
    EXPECT_EQ(app->tab()->tabBrowser()->requestedFile(), page);
    EXPECT_EQ(app->tab()->tabBrowser()->requestedUrl().scheme(), QStringLiteral("orvalis-map"));
    EXPECT_TRUE(app->page().contains(app->tab()->table().field(2, FieldDescription)));
    EXPECT_TRUE(QFile::exists(folder + "/maps-api.js"));
    app->form1->close();
    EXPECT_FALSE(QFileInfo::exists(folder));  // the page and the adapter's files
    EXPECT_TRUE(QFile::exists(planted + "/Orvalis.htm"));  // not ours to remove
}

TEST(WebLinks, GeocacheDetailsAndForum)
{
    MapApp app;
    const int gc = [&] { for (int r = 1; r <= 5; ++r) if (app.tab()->table().field(r, 3).startsWith("GC")) return r; return 0; }();
    ClickCell(app.tab()->grid(), gc, 3);
    ASSERT_FALSE(app.find("BitBtn17")->isHidden());
    app.find<QPushButton>("BitBtn17")->click();
    ASSERT_EQ(app.system.opened.size(), 1);
    EXPECT_EQ(app.system.opened.first().toString(), QStringLiteral("http://www.geocaching.com/seek/cache_details.aspx?wp=GC1ABCD&Submit6=Go"));
    EXPECT_TRUE(app.dialogs.shown.size() == 1);  // only the open dialog of the load
    app.system.urlResult = 32;
    app.find<QPushButton>("BitBtn17")->click();
    EXPECT_EQ(app.dialogs.texts("error"), QStringList{"Désolé, DLL manquante"});
    app.system.urlResult = 4;
    app.find<QPushButton>("BitBtn17")->click();
    EXPECT_EQ(app.dialogs.texts("error").last(), QStringLiteral("Error n° 1072"));
    app.system.urlResult = 2;
    QTest::mouseClick(app.find<QLabel>("Label19"), Qt::LeftButton);
    EXPECT_EQ(app.system.opened.last(), QUrl("http://forum.orvalis.org/phpBB2/index.php"));
    EXPECT_EQ(app.dialogs.texts("error").size(), 2);  // the forum link reports nothing
}

TEST(EmbeddedBrowser, TabBrowserLoadsThePageOfflineAndGivesItsText)
{
    MapApp app;
    app.find<QCheckBox>("CheckBox1")->setChecked(true);
    app.rightClick(2);
    app.trigger("DplacercePoisurlacarte1");
    EmbeddedBrowser *browser = app.tab()->tabBrowser();
    // Over the grid and no larger: nothing of the page is cut off at the bottom.
    EXPECT_EQ(browser->geometry(), app.tab()->grid()->parentWidget()->geometry());
    EXPECT_LE(browser->geometry().bottom(), app.tab()->rect().bottom());
    app.form1->resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(browser->geometry(), app.tab()->grid()->parentWidget()->geometry());
    EXPECT_TRUE(app.system.started.isEmpty());
    EXPECT_EQ(browser->requestedFile(), app.form1->publisher()->pagePath());
    browser->waitForLoad(20000);
    EXPECT_TRUE(browser->bodyText(10000).contains(QStringLiteral("Déplacez la punaise à l'aide de la souris")));
    EXPECT_EQ(app.tab()->pinMode(), PinMode::Move);
    EXPECT_FALSE(browser->view()->acceptDrops());  // a dropped file goes to the window's load
}

TEST(MapCommands, AFolderDeletedOrLoosenedDuringTheSessionIsMadeAfresh)
{
    MapApp app;
    app.rightClick(2);
    app.trigger("VisualisercePoisurlacarte1");
    const QString first = QFileInfo(app.form1->publisher()->pagePath()).path();
    ASSERT_TRUE(QFile::exists(first + "/maps-api.js"));
    // Deleted: the next map writes the page and its support files again.
    QDir(first).removeRecursively();
    app.rightClick(3);
    app.trigger("VisualisercePoisurlacarte1");
    QString folder = QFileInfo(app.form1->publisher()->pagePath()).path();
    EXPECT_TRUE(app.dialogs.texts("message").isEmpty());
    EXPECT_TRUE(IsPrivateFolder(folder));
    EXPECT_TRUE(QFile::exists(folder + "/maps-api.js"));
    EXPECT_TRUE(app.page().contains(app.tab()->table().field(3, FieldDescription)));
    // Loosened: not refused until restart, but replaced by a private one.
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0777), 0);
    app.rightClick(2);
    app.trigger("VisualisercePoisurlacarte1");
    EXPECT_TRUE(app.dialogs.texts("message").isEmpty());
    const QString fresh = QFileInfo(app.form1->publisher()->pagePath()).path();
    EXPECT_NE(fresh, folder);
    EXPECT_TRUE(IsPrivateFolder(fresh));
    EXPECT_TRUE(QFile::exists(fresh + "/maps-api.js"));
    EXPECT_FALSE(QFileInfo::exists(folder));
}
