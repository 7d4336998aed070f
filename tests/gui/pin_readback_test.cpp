#include "support/app_fixture.h"
#include "support/grid_clicks.h"
#include "support/poi_files.h"

#include "geo/decimal_entry.h"
#include "maps/embedded_browser.h"
#include "maps/map_publisher.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

// The real embedded browser with the program's own maps adapter (no key);
// every request leaving the machine is blocked by the test's main().
struct PinApp : AppFixture {
    explicit PinApp(bool withFile = true) : AppFixture(u',')
    {
        show();
        find<QCheckBox>("CheckBox1")->setChecked(true);
        if (withFile) {
            const QString path = temp.filePath("pois.ov2");
            WriteOv2File(path, SamplePois());
            load(path);
        }
    }
    void menu(int row, const char *action)
    {
        ClickCell(tab()->grid(), row, 3, Qt::RightButton);
        find<QMenu>("PopupMenu1")->hide();
        find<QAction>(action)->trigger();
    }
    EmbeddedBrowser *browser() const { return tab()->tabBrowser(); }
    // Waits until the page's initialize() has drawn its map.
    bool mapReady()
    {
        QElapsedTimer t;
        t.start();
        browser()->waitForLoad(30000);
        while (t.elapsed() < 30000) {
            if (browser()->evaluate("window.orvalisMaps ? String(orvalisMaps.maps.length) : '0'") == "1")
                return true;
            QTest::qWait(50);
        }
        return false;
    }
    QString js(const QString &script) { return browser()->evaluate(script); }
    void valider() { find<QPushButton>("BitBtn12")->click(); }
    // A cell as the grid shows it.
    QString cell(int row, int f) const { return tab()->grid()->model()->index(row - 1, f).data().toString(); }
};

}  // namespace

TEST(PinAdd, DraggedPinBecomesANewRow)
{
    PinApp app;
    app.menu(2, "AjouterdesPoi1");
    EXPECT_EQ(app.tab()->pinMode(), PinMode::Add);
    ASSERT_TRUE(app.mapReady());
    app.js("orvalisMaps.clickMap(0, 48.8532, 2.3489)");
    EXPECT_EQ(app.js("String(orvalisMaps.markers.length)"), "1");
    app.js("orvalisMaps.dragMarker(0, 48.8532, 2.3489)");
    app.valider();
    ASSERT_EQ(app.tab()->grid()->verticalHeader()->count(), 6);  // the view knows of the new row
    EXPECT_EQ(app.cell(6, FieldNumber), QStringLiteral("6"));
    EXPECT_EQ(app.cell(6, FieldLatitude), QStringLiteral("48,85320"));
    EXPECT_EQ(app.cell(6, FieldLongitude), QStringLiteral("2,348900"));
    EXPECT_EQ(app.cell(6, FieldDescription), QStringLiteral("*** Nouveau Poi ***"));
    EXPECT_EQ(app.find<QLabel>("Label9")->text(), QStringLiteral("6"));
    EXPECT_TRUE(app.tab()->isModified());
    EXPECT_EQ(app.tab()->pinMode(), PinMode::View);
    EXPECT_FALSE(app.tab()->editMode());
    EXPECT_EQ(app.tab()->grid()->currentIndex().row(), 5);
    EXPECT_EQ(app.tab()->grid()->currentIndex().column(), FieldDescription);
    EXPECT_TRUE(app.find<QPlainTextEdit>("Memo1")->toPlainText().startsWith("48.853200, 2.348900\n"));
    EXPECT_TRUE(app.find("BitBtn12")->isHidden());
}

TEST(PinAdd, NoDragWritesNothing)
{
    PinApp app;
    app.menu(1, "AjouterdesPoi1");
    ASSERT_TRUE(app.mapReady());
    app.js("orvalisMaps.clickMap(0, 48.8532, 2.3489)");  // placed, not dragged
    app.valider();
    EXPECT_EQ(app.tab()->table().lastRow(), 5);
    EXPECT_EQ(app.tab()->pinMode(), PinMode::Add);
    EXPECT_FALSE(app.tab()->isModified());
}

TEST(PinAdd, EmptyTableGetsRowOne)
{
    PinApp app(false);
    app.menu(1, "AjouterdesPoi1");
    EXPECT_EQ(app.tab()->clickState().contextLatitude, QStringLiteral("48,85320"));
    ASSERT_TRUE(app.mapReady());
    app.js("orvalisMaps.clickMap(0, 45.5, 4.25)");
    app.js("orvalisMaps.dragMarker(0, 45.5, 4.25)");
    app.valider();
    ASSERT_EQ(app.tab()->table().lastRow(), 1);
    EXPECT_EQ(app.cell(1, FieldNumber), QStringLiteral("1"));
    EXPECT_EQ(app.cell(1, FieldLatitude), QStringLiteral("45,50000"));
    EXPECT_FALSE(app.find("Panel1")->isHidden());
    EXPECT_TRUE(app.find("BitBtn11")->isEnabled());
}

TEST(PinMove, DragWritesOnlyTheCoordinatesOfTheCurrentRow)
{
    PinApp app;
    const QString description = app.cell(3, FieldDescription);
    app.tab()->document().setCell(3, FieldDistance, QStringLiteral("12 km"));
    app.menu(3, "DplacercePoisurlacarte1");
    EXPECT_EQ(app.tab()->pinMode(), PinMode::Move);
    ASSERT_TRUE(app.mapReady());
    EXPECT_TRUE(app.browser()->bodyText().contains(QStringLiteral("Légendes")));
    app.js("orvalisMaps.dragMarker(0, -33.868820, 151.209296)");
    QSignalSpy repainted(app.tab()->grid()->model(), &QAbstractItemModel::dataChanged);
    app.valider();
    ASSERT_FALSE(repainted.isEmpty());  // the grid was told, not only the table
    EXPECT_LE(repainted.last().at(0).value<QModelIndex>().row(), 2);
    EXPECT_GE(repainted.last().at(1).value<QModelIndex>().row(), 2);
    EXPECT_EQ(app.cell(3, FieldLatitude), QStringLiteral("-33,8688"));  // cut, not rounded
    EXPECT_EQ(app.cell(3, FieldLongitude), QStringLiteral("151,2092"));
    EXPECT_EQ(app.cell(3, FieldDescription), description);
    EXPECT_EQ(app.cell(3, FieldDistance), QStringLiteral("12 km"));
    EXPECT_TRUE(app.tab()->isModified());
    EXPECT_EQ(app.tab()->pinMode(), PinMode::View);
}

// A moved pin and an added one are steps of the history like any edit:
// taken back after a sort, wherever their rows went.
TEST(PinUndo, MovedAndAddedPinsAreTakenBackAfterASort)
{
    PinApp app;
    const QString description = app.cell(3, FieldDescription), latitude = app.cell(3, FieldLatitude);
    app.menu(3, "DplacercePoisurlacarte1");
    ASSERT_TRUE(app.mapReady());
    app.js("orvalisMaps.dragMarker(0, -33.868820, 151.209296)");
    app.valider();
    app.menu(1, "AjouterdesPoi1");
    ASSERT_TRUE(app.mapReady());
    app.js("orvalisMaps.clickMap(0, 48.8532, 2.3489)");
    app.js("orvalisMaps.dragMarker(0, 48.8532, 2.3489)");
    app.valider();
    ASSERT_EQ(app.tab()->grid()->verticalHeader()->count(), 6);
    ClickCell(app.tab()->grid(), 0, FieldLatitude);
    auto rowOf = [&](const QString &text) {
        for (int r = 1; r <= app.tab()->grid()->model()->rowCount(); ++r)
            if (app.cell(r, FieldDescription) == text)
                return r;
        return 0;
    };
    auto key = [&](Qt::Key key) {
        QApplication::setActiveWindow(app.form1.get());
        QTest::keyClick(app.tab()->grid(), key, Qt::ControlModifier);
    };
    key(Qt::Key_Z);
    EXPECT_EQ(app.tab()->grid()->verticalHeader()->count(), 5);
    EXPECT_EQ(rowOf(QStringLiteral("*** Nouveau Poi ***")), 0);
    EXPECT_EQ(app.find<QLabel>("Label9")->text(), QStringLiteral("5"));
    key(Qt::Key_Z);
    EXPECT_EQ(app.cell(rowOf(description), FieldLatitude), latitude);
    EXPECT_FALSE(app.tab()->isModified());
    key(Qt::Key_Y);
    key(Qt::Key_Y);
    EXPECT_EQ(app.cell(rowOf(description), FieldLatitude), QStringLiteral("-33,8688"));
    EXPECT_GT(rowOf(QStringLiteral("*** Nouveau Poi ***")), 0);
    EXPECT_EQ(app.cell(6, FieldNumber), QStringLiteral("6"));  // N° still counts the rows
    EXPECT_TRUE(app.tab()->isModified());
}

TEST(PinMove, WithoutTheAnchorThePanelIsRead)
{
    PinApp app;
    app.menu(2, "DplacercePoisurlacarte1");
    ASSERT_TRUE(app.mapReady());
    app.js("document.querySelector('.leaflet-control-attribution').remove()");
    app.js("orvalisMaps.dragMarker(0, 10.123456, -20.5)");
    app.valider();
    EXPECT_EQ(app.cell(2, FieldLatitude), QStringLiteral("10,12345"));
    EXPECT_EQ(app.cell(2, FieldLongitude), QStringLiteral("-20,5"));
}

TEST(PinReadBack, OnlyFromThePageThatSetTheMode)
{
    PinApp app;
    // A single-POI page: "Valider" only leaves map mode.
    app.menu(1, "VisualisercePoisurlacarte1");
    app.valider();
    EXPECT_TRUE(app.find("BitBtn12")->isHidden());
    EXPECT_EQ(app.tab()->table().lastRow(), 5);
    // An add page in the external browser is not read back from the tab's old page.
    app.find<QCheckBox>("CheckBox1")->setChecked(false);
    app.menu(1, "AjouterdesPoi1");
    app.valider();
    EXPECT_EQ(app.tab()->table().lastRow(), 5);
    EXPECT_EQ(app.tab()->pinMode(), PinMode::Add);
    // "Abandon" leaves map mode and reads nothing.
    app.menu(1, "AjouterdesPoi1");
    app.find<QPushButton>("BitBtn20")->click();
    EXPECT_TRUE(app.find("BitBtn12")->isHidden());
    EXPECT_EQ(app.tab()->pinMode(), PinMode::Add);
}

TEST(Adapter, SelectionAndCirclePagesDrawWithoutScriptErrors)
{
    PinApp app;
    app.tab()->grid()->selectRows(1, 5);
    app.find<QAction>("VisualiserlesPoiselectionnssurlacarte1")->trigger();
    EmbeddedBrowser *window = app.form2->browser();
    window->waitForLoad(30000);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000 && window->evaluate("window.orvalisMaps ? String(orvalisMaps.markers.length) : ''") != "5")
        QTest::qWait(50);
    EXPECT_EQ(window->evaluate("String(orvalisMaps.markers.length)"), "5");
    EXPECT_EQ(window->evaluate("String(document.querySelectorAll('.orvalis-pin-red').length)"), "1");
    EXPECT_EQ(window->evaluate("String(document.querySelectorAll('.orvalis-pin-green').length)"), "1");
    EXPECT_EQ(window->evaluate("String(document.querySelectorAll('.orvalis-pin-gray').length)"), "3");
    EXPECT_EQ(window->evaluate("orvalisMaps.markers[0].getTitle()"), "'" + app.cell(1, FieldDescription) + "'");
    // A click on a pin opens its information window.
    window->evaluate("google.maps.event.trigger(orvalisMaps.markers[1], 'click')");
    EXPECT_TRUE(window->evaluate("document.querySelector('.leaflet-popup-content').innerText").contains("Coordonnées : "));
    EXPECT_TRUE(window->bodyText().contains(QStringLiteral("OpenStreetMap contributors")));

    app.find<QLineEdit>("Edit35")->setText("25");
    ClickCell(app.tab()->grid(), 2, 3, Qt::RightButton);
    app.find<QMenu>("PopupMenu1")->hide();
    app.find<QAction>("TraceruncercleunedistancedunPoi1")->trigger();
    window->waitForLoad(30000);
    t.restart();
    while (t.elapsed() < 20000 && window->evaluate("window.orvalisMaps ? String(orvalisMaps.circles.length) : ''") != "1")
        QTest::qWait(50);
    EXPECT_EQ(window->evaluate("String(orvalisMaps.circles[0].getRadius())"), "25000");
}

TEST(Adapter, EveryPageTypeRunsWithoutScriptErrors)
{
    PinApp app;
    auto settle = [&](EmbeddedBrowser *b, const char *ready) {
        b->waitForLoad(30000);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000 && b->evaluate(QString::fromLatin1(ready)) != "true")
            QTest::qWait(50);
        return b->evaluate(QString::fromLatin1(ready)) == "true";
    };
    const char *drawn = "String(!!(window.orvalisMaps && orvalisMaps.maps.length == 1))";
    for (const char *action : {"VisualisercePoisurlacarte1", "DplacercePoisurlacarte1", "AjouterdesPoi1"}) {
        app.menu(2, action);
        EXPECT_TRUE(settle(app.browser(), drawn)) << action;
    }
    EXPECT_EQ(app.browser()->consoleErrors(), QStringList());
    app.menu(2, "TraceruncercleunedistancedunPoi1");
    EXPECT_TRUE(settle(app.form2->browser(), drawn));
    EXPECT_EQ(app.form2->browser()->consoleErrors(), QStringList());

    // The calculator tabs' pages, in their own browsers.
    struct Tab { const char *boxes[8]; const char *check; const char *button; const char *browser; int lines; };
    const Tab tabs[] = {
        {{"Edit1", "Edit2", "Edit3", "Edit4"}, "CheckBox2", "BitBtn1", "CppWebBrowser1", 0},
        {{"Edit7", "Edit8", "Edit9", "Edit10"}, "CheckBox3", "BitBtn5", "CppWebBrowser2", 0},
        {{"Edit15", "Edit16", "Edit17", "Edit18", "Edit19", "Edit20", "Edit21", "Edit22"}, "CheckBox4", "BitBtn13", "CppWebBrowser4", 2},
    };
    const char *values[] = {"48", "-1", "48,5", "1", "47", "0", "49", "1"};
    for (const Tab &tab : tabs) {
        for (int i = 0; i < 8 && tab.boxes[i]; ++i)
            app.find<QLineEdit>(tab.boxes[i])->setText(values[i]);
        app.find<QCheckBox>(tab.check)->setChecked(true);
        app.find<QPushButton>(tab.button)->click();
        auto *browser = app.form1->findChild<EmbeddedBrowser *>(tab.browser);
        ASSERT_TRUE(settle(browser, drawn)) << tab.browser;
        EXPECT_EQ(browser->evaluate("String(orvalisMaps.markers.length)"), tab.lines ? "4" : "2");
        EXPECT_EQ(browser->evaluate("String(orvalisMaps.polylines.length)"), QString::number(tab.lines));
        EXPECT_EQ(browser->consoleErrors(), QStringList()) << tab.browser;
    }
}

TEST(PinMove, BlanksAroundTheCellsKeepTheirValueWithoutADrag)
{
    PinApp app;
    app.tab()->document().setCell(2, FieldLatitude, QStringLiteral("48,8532 "));
    app.tab()->document().setCell(2, FieldLongitude, QStringLiteral(" 2,3489"));
    app.menu(2, "DplacercePoisurlacarte1");
    ASSERT_TRUE(app.mapReady());
    EXPECT_EQ(app.js("String(orvalisMaps.markers[0].getPosition().lat())"), "48.8532");
    app.valider();
    const QModelIndex lat = app.tab()->grid()->model()->index(1, FieldLatitude);
    EXPECT_EQ(ReadDecimal(lat.data().toString(), u','), 48.8532f);
    EXPECT_EQ(ReadDecimal(lat.siblingAtColumn(FieldLongitude).data().toString(), u','), 2.3489f);
}

TEST(MapSafety, LinksOpenOutsideAndLocalFilesStayClosed)
{
    PinApp app;
    app.menu(2, "VisualisercePoisurlacarte1");
    ASSERT_TRUE(app.mapReady());
    const QUrl page = app.browser()->requestedUrl();
    // An attribution link goes to the system browser; the map stays.
    app.js("document.querySelector('.leaflet-control-attribution a').click()");
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && app.system.opened.isEmpty())
        QTest::qWait(50);
    ASSERT_EQ(app.system.opened.size(), 1);
    EXPECT_EQ(app.system.opened.first().scheme(), QStringLiteral("https"));
    EXPECT_EQ(app.browser()->view()->url(), page);
    EXPECT_EQ(app.js("String(orvalisMaps.maps.length)"), "1");
    // A link asking for a new window does the same.
    app.js("var a = document.createElement('a'); a.href = 'https://example.org/'; a.target = '_blank';"
           "document.body.appendChild(a); a.click()");
    t.restart();
    while (t.elapsed() < 10000 && app.system.opened.size() < 2)
        QTest::qWait(50);
    ASSERT_EQ(app.system.opened.size(), 2);
    EXPECT_EQ(app.system.opened.last(), QUrl("https://example.org/"));
    // The page cannot read a local file.
    WriteFile(app.temp.filePath("secret.txt"), "secret");
    const QString read = app.js("try { var x = new XMLHttpRequest(); x.open('GET', '" +
                                QUrl::fromLocalFile(app.temp.filePath("secret.txt")).toString() +
                                "', false); x.send(); x.responseText } catch (e) { 'blocked' }");
    EXPECT_EQ(read, QStringLiteral("blocked"));
}

TEST(MapSafety, GeocodedAddressReachesThePageAsText)
{
    PinApp app;
    app.menu(2, "DplacercePoisurlacarte1");
    ASSERT_TRUE(app.mapReady());
    app.js("window.fetch = function () { return Promise.resolve({ ok: true, json: function () {"
           " return { display_name: '<img src=x onerror=\"window.pwned=1\">Rue & Cie' }; } }); };"
           "new google.maps.Geocoder().geocode({ latLng: new google.maps.LatLng(1, 2) },"
           " function (r) { window.address = r[0].formatted_address; }); 'ok'");
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && app.js("String(window.address)") == "undefined")
        QTest::qWait(50);
    EXPECT_EQ(app.js("String(window.address)"), QStringLiteral("&lt;img src=x onerror=&quot;window.pwned=1&quot;&gt;Rue &amp; Cie"));
}

TEST(PinMove, AnUnmovedPinChangesNothing)
{
    PinApp app;
    app.tab()->document().setCell(2, FieldLatitude, QStringLiteral("48,85320"));
    app.tab()->setModified(false);
    app.menu(2, "DplacercePoisurlacarte1");
    ASSERT_TRUE(app.mapReady());
    app.valider();
    EXPECT_EQ(app.cell(2, FieldLatitude), QStringLiteral("48,85320"));
    EXPECT_FALSE(app.tab()->isModified());
}

TEST(MapSafety, ScriptNavigationsAwayGoToTheSystemBrowser)
{
    PinApp app;
    app.menu(2, "VisualisercePoisurlacarte1");
    ASSERT_TRUE(app.mapReady());
    const QUrl page = app.browser()->requestedUrl();
    app.js("setTimeout(function () { window.location.href = 'https://example.org/away'; }, 0); 'ok'");
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && app.system.opened.isEmpty())
        QTest::qWait(50);
    ASSERT_EQ(app.system.opened.size(), 1);
    EXPECT_EQ(app.system.opened.first(), QUrl("https://example.org/away"));
    QTest::qWait(200);
    EXPECT_EQ(app.browser()->view()->url(), page);
    EXPECT_EQ(app.js("String(orvalisMaps.maps.length)"), "1");
}

TEST(MapSafety, OtherOriginsGetNothingFromThePageScheme)
{
    PinApp app;
    app.menu(2, "VisualisercePoisurlacarte1");
    ASSERT_TRUE(app.mapReady());
    // A frame of another origin (a data: document) tries to load the page's files.
    app.js("window.addEventListener('message', function (e) { window.verdict = e.data; });"
           "var f = document.createElement('iframe');"
           "f.src = 'data:text/html,<script src=\"orvalis-map://maps/maps-api.js\" "
           "onload=\"parent.postMessage(\\'loaded\\', \\'*\\')\" onerror=\"parent.postMessage(\\'blocked\\', \\'*\\')\"></script>';"
           "document.body.appendChild(f); 'ok'");
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && app.js("String(window.verdict)") == "undefined")
        QTest::qWait(50);
    EXPECT_EQ(app.js("String(window.verdict)"), QStringLiteral("blocked"));
    // The page's own requests are served.
    EXPECT_EQ(app.js("var x = new XMLHttpRequest(); x.open('GET', 'maps-api.js', false); x.send(); String(x.status)"),
              QStringLiteral("200"));
}
