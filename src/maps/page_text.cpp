#include "maps/page_text.h"

#include "files/text_codecs.h"
#include "geo/decimal_entry.h"

#include <QRegularExpression>
#include <QUrl>

namespace orvalis {

MapAddresses GoogleMapAddresses(const QString &apiKey)
{
    MapAddresses a;
    a.api = QStringLiteral("https://maps.googleapis.com/maps/api/js?v=3.exp&sensor=false");
    a.pinPageApi = QStringLiteral("http://maps.googleapis.com/maps/api/js?sensor=false");
    a.pinImages = QStringLiteral("http://maps.google.com/mapfiles/ridefinder/images/");
    if (!apiKey.isEmpty()) {
        const QString key = QStringLiteral("&key=") + QString::fromLatin1(QUrl::toPercentEncoding(apiKey));
        a.api += key;
        // The key must not travel in clear text, nor the pins load over it.
        a.pinPageApi = QStringLiteral("https://maps.googleapis.com/maps/api/js?sensor=false") + key;
        a.pinImages = QStringLiteral("https://maps.google.com/mapfiles/ridefinder/images/");
        a.keyed = true;
    }
    return a;
}

MapAddresses AdapterMapAddresses()
{
    MapAddresses a = GoogleMapAddresses();
    a.api = QStringLiteral("maps-api.js");
    a.pinPageApi = a.api;
    a.adapter = true;
    return a;
}

MapAddresses MapAddressesForKey(const QString &apiKey)
{
    return apiKey.isEmpty() ? AdapterMapAddresses() : GoogleMapAddresses(apiKey);
}

QString PageHead(const MapAddresses &addresses)
{
    return QStringLiteral("<html><head>"
                          "\n<style>html, body, #map-canvas {"
                          "\nheight: 100%;"
                          "\nmargin: 0px;"
                          "\npadding: 0px"
                          "\n} </style>"
                          "\n<script src=\"") +
           addresses.api + QStringLiteral("\"></script>\n<script>");
}

QString PageTail()
{
    return QStringLiteral("\ngoogle.maps.event.addDomListener(window, 'load', initialize);"
                          "\n</script></head>"
                          "\n<body><div id=\"map-canvas\"></div></body></html>");
}

bool IsPlainNumber(const QString &text)
{
    // \A and \z: "$" would also match before a final line break.
    static const QRegularExpression re(QStringLiteral("\\A[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?\\z"));
    return re.match(text).hasMatch();
}

QString MapCoordinate(const QString &text)
{
    // Blanks around a number are allowed when it is typed, so they are here.
    QString out = TrimBlanks(text);
    for (qsizetype i = 0; i < std::min<qsizetype>(5, out.size()); ++i)
        if (out[i] == u',')
            out[i] = u'.';
    return IsPlainNumber(out) ? out : QStringLiteral("0");
}

QString PagePointDecimal(const QString &text)
{
    const QString out = PointDecimal(TrimBlanks(text));
    return IsPlainNumber(out) ? out : QStringLiteral("0");
}

QString MapTitle(const QString &text)
{
    QString out = text.isEmpty() ? QStringLiteral("Poi sans designation.") : text;
    out.replace(u'\'', u' ');
    out.replace(u'"', u' ');
    return out;
}

QString JsString(const QString &text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'\'': out += QStringLiteral("\\'"); break;
        case u'"': out += QStringLiteral("\\\""); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        case u'<': out += QStringLiteral("\\u003C"); break;
        default:
            if (!IsXmlChar(c))
                out += u' ';  // no control character in a page's text
            else if (u < 0x20 || u == 0x2028 || u == 0x2029 || !FitsWindows1252(c))
                out += QStringLiteral("\\u%1").arg(u, 4, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    return out;
}

QString HtmlEscape(const QString &text)
{
    QString out = text.toHtmlEscaped();
    out.replace(u'\'', QStringLiteral("&#39;"));
    return out;
}

}  // namespace orvalis
