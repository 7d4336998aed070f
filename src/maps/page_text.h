#pragma once

#include <QString>

namespace orvalis {

// Addresses the map pages load.
struct MapAddresses {
    QString api;         // the maps script of most pages
    QString pinPageApi;  // the maps script of the pin-moving page
    QString pinImages;   // folder of the three pin images
    bool adapter = false;  // the script is the program's own, written beside the page
    bool keyed = false;    // Google's script with the user's key: live answers from Google's geocoder
};
// Google's loader, with the user's key appended when there is one.
MapAddresses GoogleMapAddresses(const QString &apiKey = {});
// The program's OpenStreetMap adapter, beside the page; the pin images keep
// their names, which the adapter draws itself.
MapAddresses AdapterMapAddresses();
// Google with a key, the adapter without one.
MapAddresses MapAddressesForKey(const QString &apiKey);

// Fragments H1..H8 and T1..T3 shared by most pages.
QString PageHead(const MapAddresses &addresses);
QString PageTail();

// A latitude or longitude text for a page: commas among the first five
// characters become periods. Anything that is then not a plain number
// (empty included) is written as 0, the value every computation gives it,
// so a cell can neither inject script nor blank the map.
QString MapCoordinate(const QString &text);
// PointDecimal for page coordinates, with the same plain-number guard.
QString PagePointDecimal(const QString &text);
// A POI description for a page: "Poi sans designation." when empty, quotes
// and apostrophes become spaces.
QString MapTitle(const QString &text);

// Escapes a text for the inside of a JavaScript string literal: backslash,
// quotes, line breaks, U+2028/2029, '<' (so "</script>" cannot close the
// script) and every character outside Windows-1252 as \uXXXX.
QString JsString(const QString &text);
// Escapes & < > " ' for HTML.
QString HtmlEscape(const QString &text);

bool IsPlainNumber(const QString &text);

}  // namespace orvalis
