#include "maps/calculator_pages.h"
#include "maps/marker_pages.h"
#include "maps/page_text.h"

#include "support/tables.h"

#include <gtest/gtest.h>

using namespace orvalis;
using orvalis::testing::TableOfRows;

namespace {

const MapAddresses kAddresses = GoogleMapAddresses();

const QString kHead = QStringLiteral(
    "<html><head>\n<style>html, body, #map-canvas {\nheight: 100%;\nmargin: 0px;\npadding: 0px\n} </style>"
    "\n<script src=\"https://maps.googleapis.com/maps/api/js?v=3.exp&sensor=false\"></script>\n<script>");
const QString kTail = QStringLiteral(
    "\ngoogle.maps.event.addDomListener(window, 'load', initialize);\n</script></head>"
    "\n<body><div id=\"map-canvas\"></div></body></html>");
const QString kIcons = QStringLiteral(
    "\nvar iconGrey = 'http://maps.google.com/mapfiles/ridefinder/images/mm_20_gray.png';"
    "\nvar iconRed = 'http://maps.google.com/mapfiles/ridefinder/images/mm_20_red.png';"
    "\nvar iconGreen = 'http://maps.google.com/mapfiles/ridefinder/images/mm_20_green.png';");

QString Marker(const QString &a, const QString &o, const QString &d, const QString &icon)
{
    return QStringLiteral("\nvar infowindow = new google.maps.InfoWindow();\nvar maPunaise = new google.maps.LatLng(") + a +
           ", " + o + ");\nvar marker = new google.maps.Marker({\nposition: maPunaise,\nmap: map,title: \"'" + d +
           "'\",\nicon: " + icon + "});\ngoogle.maps.event.addListener(marker, 'click', function() {\ninfowindow.setContent('"
           "<div><b>" + d + "</b><div>Coordonnées : " + a + " / " + o + "</div></div>');\ninfowindow.open(map, this);\n});"
           "infowindow.setPosition(maPunaise);";
}


}  // namespace

TEST(PageText, MapCoordinateAndTitle)
{
    EXPECT_EQ(MapCoordinate("48,85320"), QStringLiteral("48.85320"));
    EXPECT_EQ(MapCoordinate("-122,4194"), QStringLiteral("-122.4194"));
    EXPECT_EQ(MapCoordinate("0"), QStringLiteral("0"));
    EXPECT_EQ(MapCoordinate("48,8"), QStringLiteral("48.8"));
    // What is not a plain number goes in as 0, the value computations give it.
    EXPECT_EQ(MapCoordinate(""), QStringLiteral("0"));
    EXPECT_EQ(MapCoordinate("1);alert(1"), QStringLiteral("0"));
    EXPECT_EQ(MapCoordinate("abc"), QStringLiteral("0"));
    EXPECT_EQ(MapCoordinate("9\n"), QStringLiteral("0"));  // found by fuzzing: a line break after a number
    EXPECT_EQ(MapTitle(""), QStringLiteral("Poi sans designation."));
    EXPECT_EQ(MapTitle("L'Église \"Saint\""), QStringLiteral("L Église  Saint "));
}

TEST(PageText, ScriptStringsCannotBreakOut)
{
    EXPECT_EQ(JsString("</script><img src=x onerror=alert(1)>"), QStringLiteral("\\u003C/script>\\u003Cimg src=x onerror=alert(1)>"));
    EXPECT_EQ(JsString("a\\b\nc\r'\""), QStringLiteral("a\\\\b\\nc\\r\\'\\\""));
    EXPECT_EQ(JsString(QString(QChar(0x2028))), QStringLiteral("\\u2028"));
    EXPECT_EQ(JsString("Москва é"), QStringLiteral("\\u041c\\u043e\\u0441\\u043a\\u0432\\u0430 é"));
    EXPECT_EQ(HtmlEscape("<b>&'\""), QStringLiteral("&lt;b&gt;&amp;&#39;&quot;"));
}

TEST(Pages, SinglePoiByteForByte)
{
    EXPECT_EQ(SinglePoiPage(kAddresses, "48,85320", "2,34890", "Tour Eiffel"),
              kHead + "\nfunction initialize() {\nvar myLatlng = new google.maps.LatLng(48.85320, 2.34890);\nvar mapOptions = {"
                      "\nzoom: 13,\ncenter: myLatlng\n}"
                      "\nvar map = new google.maps.Map(document.getElementById('map-canvas'), mapOptions);"
                      "\nvar marker = new google.maps.Marker({\nposition: myLatlng,\nmap: map,\ntitle: 'Tour Eiffel'\n});\n}" +
                  kTail);
}

TEST(Pages, SelectionOfThreeRowsWithTheirPins)
{
    const PoiTable t = TableOfRows({{"48,8", "2,3", "Base"}, {"48,9", "2,4", "Milieu"}, {"49,0", "2,6", ""}});
    const SelectionView view = SelectionCentreAndZoom(t, 1, 3, u',');
    EXPECT_EQ(view.extent, 299);  // 2.6f - 2.3f in single precision, in thousandths
    EXPECT_EQ(view.zoom, QStringLiteral("10"));
    const QString page = SelectionPageStart(kAddresses, view) + MarkerPiece("48,8", "2,3", "Base", IconFor(1, 3)) +
                         MarkerPiece("48,9", "2,4", "Milieu", IconFor(2, 3)) + MarkerPiece("49,0", "2,6", "", IconFor(3, 3)) +
                         SelectionPageEnd();
    EXPECT_EQ(page, kHead + "\nfunction initialize() {\nvar myLatlng = new google.maps.LatLng(" + view.centreLatitude + ", " +
                        view.centreLongitude + ");\nvar mapOptions = {\nzoom: 10,center: myLatlng\n}"
                        "\nvar map = new google.maps.Map(document.getElementById('map-canvas'), mapOptions);" +
                        kIcons + Marker("48.8", "2.3", "Base", "iconRed") + Marker("48.9", "2.4", "Milieu", "iconGrey") +
                        Marker("49.0", "2.6", "Poi sans designation.", "iconGreen") + "\n}" + kTail);
    EXPECT_EQ(view.centreLatitude, QStringLiteral("48.8999977111816"));
}

TEST(Pages, SelectionCentreAndZoomThresholds)
{
    EXPECT_EQ(SelectionCentreAndZoom(TableOfRows({{"48,8532", "2,3"}}), 1, 1, u',').centreLatitude, QStringLiteral("48.853199005127"));
    EXPECT_EQ(SelectionCentreAndZoom(TableOfRows({{"48,8532", "2,3"}}), 1, 1, u',').zoom, QStringLiteral("16"));
    EXPECT_EQ(ZoomForExtent(5), QStringLiteral("16"));
    EXPECT_EQ(ZoomForExtent(6), QStringLiteral("15"));
    EXPECT_EQ(ZoomForExtent(50000), QStringLiteral("4"));
    EXPECT_EQ(ZoomForExtent(50001), QStringLiteral("3"));
    // An empty cell counts as 0 and goes into the page as 0.
    const SelectionView v = SelectionCentreAndZoom(TableOfRows({{"", "10"}, {"20", ""}}), 1, 2, u',');
    EXPECT_EQ(v.centreLatitude, QStringLiteral("10"));
    EXPECT_EQ(v.extent, 20000);
    EXPECT_TRUE(MarkerPiece("", "2", "x", "iconGrey").contains("LatLng(0, 2);"));
}

TEST(Pages, CircleRadiusZoomAndPopulation)
{
    EXPECT_EQ(ZoomForRadius(100), QStringLiteral("7"));
    EXPECT_EQ(ZoomForRadius(1), QStringLiteral("14"));
    EXPECT_EQ(ZoomForRadius(2), QStringLiteral("13"));
    EXPECT_EQ(ZoomForRadius(4096), QStringLiteral("2"));
    EXPECT_EQ(ZoomForRadius(4097), QStringLiteral("1"));
    EXPECT_EQ(ZoomForRadius(0), QStringLiteral("14"));
    EXPECT_EQ(ZoomForRadius(-5), QStringLiteral("14"));
    const QString page = CirclePageStart(kAddresses, "48,85", "2,35", 100, "7") + Marker("48.85", "2.35", "Seul", "iconRed") +
                         CirclePageEnd();
    EXPECT_EQ(page, kHead + "\nvar citymap = {};\ncitymap['chicago'] = {\ncenter: new google.maps.LatLng(48.85, 2.35),"
                            "\npopulation:100000\n};\nvar cityCircle;\nfunction initialize() {"
                            "\nvar myLatlng = new google.maps.LatLng(48.85, 2.35);\nvar mapOptions = {\nzoom: 7,center: myLatlng\n};"
                            "\nvar map = new google.maps.Map(document.getElementById('map-canvas'), mapOptions);" +
                        kIcons + Marker("48.85", "2.35", "Seul", "iconRed") +
                        "\nfor (var city in citymap) {\nvar populationOptions = {\nstrokeColor: '#FF0000',\nstrokeOpacity: 0.8,"
                        "\nstrokeWeight: 2,\nfillColor: '#FF0000',\nfillOpacity: 0.05,\nmap: map,\ncenter: citymap[city].center,"
                        "\nradius: citymap[city].population\n};\ncityCircle = new google.maps.Circle(populationOptions);\n}\n}" +
                        kTail);
    EXPECT_TRUE(CirclePageStart(kAddresses, "1", "2", -5, "14").contains("\npopulation:-5000\n"));
    EXPECT_TRUE(CirclePageStart(kAddresses, "1", "2", 2147483647, "1").contains("\npopulation:2147483647000\n"));
    EXPECT_EQ(IconFor(1, 1), QStringLiteral("iconRed"));  // one row: red wins
}

TEST(Pages, InjectionThroughPoiTexts)
{
    const QString piece = MarkerPiece("48", "2", "</script><script>alert(1)</script>\nx\\", "iconGrey");
    EXPECT_FALSE(piece.contains("</script>"));
    EXPECT_FALSE(piece.contains("\nx"));
    const QString info = MarkerPiece("48", "2", "<img src=x onerror=alert(1)>", "iconGrey");
    EXPECT_TRUE(info.contains("&lt;img src=x onerror=alert(1)&gt;"));
    EXPECT_TRUE(SinglePoiPage(kAddresses, "48", "2", "Станция").contains("\\u0421"));
}

TEST(PageText, ControlCharactersBecomeSpaces)
{
    EXPECT_EQ(JsString(QString::fromUtf16(u"a\u0001b\u001Bc\uFFFF")), QStringLiteral("a b c "));
    EXPECT_EQ(JsString("a\nb"), QStringLiteral("a\\nb"));
}

TEST(Pages, BlanksAroundCoordinatesAreTrimmedInEveryPageType)
{
    // Number entry takes "48,8531 " as 48.8531; a page must not draw it at 0.
    const QString lat = " 48,8531\t", lon = "  2,34912 ";
    const QString at = "LatLng(48.8531, 2.34912)";
    EXPECT_TRUE(SinglePoiPage(kAddresses, lat, lon, "x").contains(at));
    EXPECT_TRUE(MarkerPiece(lat, lon, "x", "iconRed").contains(at));
    EXPECT_TRUE(CirclePageStart(kAddresses, lat, lon, 10, "9").contains(at));
    EXPECT_TRUE(MovePinPage(kAddresses, lat, lon, "x").contains(at));
    EXPECT_TRUE(TwoPoiPage(kAddresses, lat, lon, lat, lon, "a", "b", "5").contains(at));
    const QString lats[4] = {lat, lat, lat, lat}, lons[4] = {lon, lon, lon, lon};
    EXPECT_TRUE(CrossingPage(kAddresses, lats, lons, "6").contains(at));
    EXPECT_EQ(PagePointDecimal(" -4,49448 "), QStringLiteral("-4.49448"));
    // Blanks inside a number still make it no number.
    EXPECT_EQ(MapCoordinate("48 ,8"), QStringLiteral("0"));
    EXPECT_EQ(MapCoordinate("   "), QStringLiteral("0"));
}

TEST(Pages, CalculatorPages)
{
    const QString page = TwoPoiPage(kAddresses, "48,8531", "2,34912", "48,3781", "-4,49448",
                                    "Coordonnées : 48,8531 / 2,34912", "Coordonnées : 48,3781 / -4,49448", "5");
    EXPECT_TRUE(page.startsWith(kHead + "\nfunction initialize() {\nvar myLatlng = new google.maps.LatLng(48.8531, 2.34912);"
                                        "\nvar myLatlng2 = new google.maps.LatLng(48.3781, -4.49448);\nvar mapOptions = {"
                                        "\nzoom: 5,center: myLatlng\n}"));
    EXPECT_TRUE(page.contains("\ntitle: 'Coordonnées : 48,8531 / 2,34912'\n});"));
    EXPECT_TRUE(page.endsWith("\ntitle: 'Coordonnées : 48,3781 / -4,49448'\n});\n}" + kTail));
    // An apostrophe typed in a box no longer ends the title's string.
    EXPECT_TRUE(TwoPoiPage(kAddresses, "1", "2", "3", "4", "it's", "b", "18").contains("title: 'it\\'s'"));
    const QString lat[4] = {"48", "48", "47", "49"}, lon[4] = {"-1", "1", "0", "1"};
    const QString cross = CrossingPage(kAddresses, lat, lon, "6");
    EXPECT_TRUE(cross.contains("\nvar Trait_2_Path = new google.maps.Polyline({\npath: Trait_2,\ngeodesic: true,"
                               "\nstrokeColor: '#FF0000',\nstrokeOpacity: 1.0,\nstrokeWeight: 2\n});\nTrait_2_Path.setMap(map);\n}"));
    EXPECT_TRUE(cross.contains("\nvar marker = new google.maps.Marker({\nposition: myLatlng3,\nmap: map,\ntitle: 'Début route 2'\n});"));
    EXPECT_TRUE(cross.contains("\nzoom: 6,center: myLatlng1\n}"));
}

TEST(Pages, KeyIsAddedOnlyWhenGiven)
{
    const MapAddresses keyed = GoogleMapAddresses("abc&d");
    EXPECT_EQ(keyed.api, QStringLiteral("https://maps.googleapis.com/maps/api/js?v=3.exp&sensor=false&key=abc%26d"));
    // The key never travels over plain HTTP, not even on the pin page.
    EXPECT_EQ(keyed.pinPageApi, QStringLiteral("https://maps.googleapis.com/maps/api/js?sensor=false&key=abc%26d"));
    EXPECT_EQ(GoogleMapAddresses().pinPageApi, QStringLiteral("http://maps.googleapis.com/maps/api/js?sensor=false"));
    const QString plain = SinglePoiPage(kAddresses, "1", "2", "x");
    QString withKey = SinglePoiPage(keyed, "1", "2", "x");
    // With a key the pin icons load over https too.
    EXPECT_EQ(CirclePageStart(keyed, "1", "2", 5, "7").count("'https://maps.google.com/mapfiles/ridefinder/images/mm_20_"), 3);
    EXPECT_EQ(withKey.replace("&key=abc%26d", "").replace("https://maps.google.com/", "http://maps.google.com/"), plain);
    // Google's address answer is escaped before it goes into innerHTML.
    const QString move = MovePinPage(keyed, "1", "2", "x");
    EXPECT_FALSE(move.contains("updateMarkerAddress(responses[0].formatted_address);"));
    EXPECT_TRUE(move.contains("updateMarkerAddress(String(responses[0].formatted_address).replace(/[&<>\"']/g"));
}

TEST(Pages, PinPages)
{
    const QString move = MovePinPage(kAddresses, "48,8532", "2,3489", "Tour");
    EXPECT_TRUE(move.startsWith("<html><head>\n<script type=\"text/javascript\" src=\"http://maps.googleapis.com/maps/api/js?sensor=false\"></script>"));
    EXPECT_TRUE(move.contains("\nvar latLng = new google.maps.LatLng(48.8532, 2.3489);\nvar map = new google.maps.Map("));
    EXPECT_TRUE(move.contains("\ntitle: 'Tour',\nmap: map,\ndraggable: true\n});"));
    EXPECT_TRUE(move.endsWith("\n<div id=\"markerStatus\"><i>Déplacez la punaise à l'aide de la souris</i></div>"
                              "\n<div id=\"info\"></div>\n<div id=\"address\"></div>\n</div>\n</body></html>"));
    EXPECT_FALSE(move.contains("endes"));
    const QString add = AddPinPage(kAddresses);
    EXPECT_TRUE(add.contains("<br/>\n<script src=\"https://maps.googleapis.com/maps/api/js?v=3.exp&sensor=false\"></script>\n<script>"));
    EXPECT_TRUE(add.contains("\ncenter: new google.maps.LatLng(47.20,3.80)\n};"));
    EXPECT_TRUE(add.endsWith("\n<body><div id=\"map-canvas\"></div>\n</body></html>"));
}

TEST(Pages, AdapterPagesDifferOnlyInTheScriptAddress)
{
    const MapAddresses adapter = AdapterMapAddresses();
    EXPECT_EQ(MapAddressesForKey("").api, QStringLiteral("maps-api.js"));
    EXPECT_EQ(MapAddressesForKey("k").api, GoogleMapAddresses("k").api);
    QString page = SinglePoiPage(adapter, "1", "2", "x");
    EXPECT_EQ(page.replace("\"maps-api.js\"", "\"" + kAddresses.api + "\""), SinglePoiPage(kAddresses, "1", "2", "x"));
    QString move = MovePinPage(adapter, "1", "2", "x");
    EXPECT_EQ(move.replace("\"maps-api.js\"", "\"" + kAddresses.pinPageApi + "\""), MovePinPage(kAddresses, "1", "2", "x"));
    // The pin images keep their addresses: the adapter draws them by name.
    EXPECT_EQ(adapter.pinImages, kAddresses.pinImages);
}
