// Page texts from any POI text: inside a script string nothing may end the
// string, the line or the script.
#include "maps/marker_pages.h"
#include "maps/page_text.h"

#include <cstdint>
#include <cstdlib>

using namespace orvalis;

namespace {

// No raw line break, no '<', and every quote escaped by an odd run of backslashes.
bool SafeInsideString(const QString &s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029 || c == u'<')
            return false;
        if (c == u'\'' || c == u'"') {
            qsizetype backslashes = 0;
            for (qsizetype j = i - 1; j >= 0 && s[j] == u'\\'; --j)
                ++backslashes;
            if (backslashes % 2 == 0)
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (!SafeInsideString(JsString(text)) || !SafeInsideString(JsString(HtmlEscape(MapTitle(text)))))
        std::abort();
    if (HtmlEscape(text).contains(u'<'))
        std::abort();
    // A whole marker: the POI texts cannot add a line or close the script.
    const QString piece = MarkerPiece(text, text, text, QStringLiteral("iconGrey"));
    if (piece.contains(QStringLiteral("</script"), Qt::CaseInsensitive) || piece.count(u'\n') != 10)
        std::abort();
    const QString coordinate = MapCoordinate(text);
    if (!IsPlainNumber(coordinate))
        std::abort();
    return 0;
}
