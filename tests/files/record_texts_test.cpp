// Texts written from the bytes a reader left: the OV2 bytes, encoded to
// Windows-1252 in one pass, and the XML escaping on bytes give what the
// decoded texts give, for names of every script, stray bytes and marks.
#include "files/gpx_format.h"
#include "files/poi_codec.h"
#include "files/record_texts.h"
#include "files/text_codecs.h"
#include "files/xml_scan.h"
#include "support/records.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

QStringList Names()
{
    QStringList names = {"", "Gare", "Café", "Ωmega", "ɖ", "Ã©t", "CAFÉ–BAR", "Rosé™®", "IKEA宜家家居", "Puʻuiki",
                         "𝄞 clef", QString(QChar(0xFEFF)) + "mark", "a\x01<b>&\"c\"", QString(QChar(0xFFFE)) + "x",
                         QString(QChar(0x81)) + "c1"};
    // An accent, a C1 control or a sign of Latin-1 at every place of an eight-byte word.
    for (const char16_t c : {u'é', u'ÿ', u'À', u'\u00A0', u'\u0081', u'\u0085', u'\u009C', u'€', u'Ω'})
        for (int at = 0; at < 17; ++at)
            names << QString(at, u'a') + QChar(c) + QString(17 - at, u'b');
    for (const char *file : {"held_out_utf8.txt", "held_out_windows1252.txt"}) {
        QFile f(QStringLiteral(ORVALIS_TEST_DATA "/names/") + QLatin1String(file));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file;
        for (const QByteArray &line : f.readAll().split('\n'))
            if (!line.isEmpty() && !line.startsWith('#'))
                names << QString::fromUtf8(line);
    }
    return names;
}

// The ways a text's bytes come to a writer: as UTF-8 and, where it fits, as
// Windows-1252, each told or left for the writer to decide.
std::vector<EncodedText> Encodings(const QString &text, QByteArray &utf8, QByteArray &windows1252)
{
    utf8 = text.toUtf8();
    std::vector<EncodedText> out = {{utf8, TextEncoding::Utf8}};
    // Left to decide: UTF-8 is UTF-8 there.
    out.push_back({utf8, TextEncoding::Utf8ElseWindows1252});
    if (FitsWindows1252(text)) {
        windows1252 = EncodeWindows1252(text);
        out.push_back({windows1252, TextEncoding::Windows1252});
        if (!IsStrictUtf8(windows1252))
            out.push_back({windows1252, TextEncoding::Utf8ElseWindows1252});
    }
    return out;
}

QByteArray XmlOf(const EncodedText &text)
{
    QByteArray out = "<name>";
    AppendXmlText(out, text);
    return out;
}

QByteArray XmlOf(const QString &text)
{
    QByteArray out = "<name>";
    AppendXmlText(out, text);
    return out;
}

}  // namespace

TEST(RecordTexts, CodePageBytesInOnePassAsTheDecodedText)
{
    const QStringList names = Names();
    ASSERT_GT(names.size(), 400);
    for (const QString &name : names) {
        QByteArray utf8, windows1252;
        for (const EncodedText &text : Encodings(name, utf8, windows1252)) {
            ASSERT_EQ(DecodeText(text), name) << name.toStdString();
            EXPECT_EQ(TextBytesOf(text), TextBytes(name)) << name.toStdString();
        }
    }
    // Joined as an OV2 text joins a name and its description, in mixed encodings.
    for (int i = 0; i + 1 < names.size(); i += 7) {
        const QString &a = names[i], &b = names[i + 1];
        QByteArray aUtf8, a1252, bUtf8, b1252;
        for (const EncodedText &x : Encodings(a, aUtf8, a1252))
            for (const EncodedText &y : Encodings(b, bUtf8, b1252))
                EXPECT_EQ(TextBytesOf(x, " - ", y), TextBytes(a + " - " + b)) << a.toStdString() << " / " << b.toStdString();
    }
    // Characters outside the code page: UTF-8, marked where even UTF-8 would read as Windows-1252.
    EXPECT_EQ(TextBytesOf({"Caf\xC3\xA9"}), "Caf\xE9");
    EXPECT_EQ(TextBytesOf({"\xCE\xA9mega"}), "\xCE\xA9mega");
    EXPECT_EQ(TextBytesOf({"CAF\xC9\x96" "BAR"}), "\xEF\xBB\xBF" "CAF\xC9\x96" "BAR");
    EXPECT_EQ(TextBytesOf({"\xC3\x83\xC2\xA9"}), "\xC3\x83\xC2\xA9");  // "Ã©" in the code page would read as "é"
    EXPECT_EQ(TextBytesOf({"\xD0\x9C\xD0\xB8\xD1\x80", TextEncoding::Utf8}, " - ", {"Caf\xE9", TextEncoding::Utf8ElseWindows1252}),
              "\xD0\x9C\xD0\xB8\xD1\x80 - Caf\xC3\xA9");
    EXPECT_EQ(TextBytesOf({"Caf\xE9", TextEncoding::Utf8ElseWindows1252}, " - ", {"\xE2\x82\xAC 5"}), "Caf\xE9 - \x80 5");
}

TEST(RecordTexts, XmlEscapedOnBytes)
{
    QByteArray out = "x";
    ASSERT_TRUE(AppendXmlUtf8(out, "a&b<c>\"d' \x01\t\xEF\xBF\xBE\xC3\xA9\xF0\x9D\x84\x9E"));
    EXPECT_EQ(out, "xa&amp;b&lt;c&gt;&quot;d'  \t \xC3\xA9\xF0\x9D\x84\x9E");
    // Bytes that are no UTF-8: nothing written, the caller reads them otherwise.
    for (const char *bad : {"caf\xE9", "\xC3", "\xED\xA0\x80", "\xC0\xAF", "\xF4\x90\x80\x80", "ok\x80"}) {
        QByteArray kept = "x";
        EXPECT_FALSE(AppendXmlUtf8(kept, bad)) << bad;
        EXPECT_EQ(kept, "x") << bad;
    }
    EXPECT_EQ(XmlOf(EncodedText{"caf\xE9 & co", TextEncoding::Utf8ElseWindows1252}), "<name>caf\xC3\xA9 &amp; co");
    EXPECT_EQ(XmlOf(EncodedText{"caf\xE9", TextEncoding::Utf8}), "<name>caf\xEF\xBF\xBD");
    // UTF-8 that a reader deciding each text would misread goes as references, as from the decoded text.
    EXPECT_EQ(XmlOf(EncodedText{"CAF\xC9\x96" "BAR"}), "<name>CAF&#x256;BAR");
    for (const QString &name : Names()) {
        QByteArray utf8, windows1252;
        for (const EncodedText &text : Encodings(name, utf8, windows1252))
            EXPECT_EQ(XmlOf(text), XmlOf(name)) << name.toStdString();
    }
}

TEST(RecordTexts, WrittenFromTheBytesAsFromTheDecodedTexts)
{
    // Names of every kind in OV2 (UTF-8, Windows-1252, marked) and in GPX (stray bytes, references, a UTF-16 file).
    QByteArray ov2;
    QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\">\n";
    int k = 0;
    for (const QString &name : Names()) {
        QByteArray bytes = name.toUtf8();
        if (k % 3 == 1 && FitsWindows1252(name))
            bytes = EncodeWindows1252(name);
        if (k % 7 == 2)
            bytes.prepend("\xEF\xBB\xBF");
        QByteArray record(13, '\0');
        record[0] = 2;
        const quint32 length = quint32(bytes.size()) + 14;
        for (int i = 0; i < 4; ++i)
            record[1 + i] = char((length >> (8 * i)) & 0xFF);
        ov2 += record + QByteArray(bytes).replace('\0', ' ') + '\0';
        QByteArray text = QByteArray(bytes).replace('&', "&amp;").replace('<', "&lt;");
        if (k % 5 == 3)
            text += " &#x20AC;";
        gpx += "<wpt lat=\"1\" lon=\"2\"><ele>" + QByteArray::number(k) + "</ele><name>" + text + "</name><desc>" + text.left(k % 4) +
               "</desc><sym>" + text.right(k % 3) + "</sym></wpt>\n";
        ++k;
    }
    gpx += "</gpx>\n";
    const QString utf16Text = QString::fromUtf8(gpx).replace("<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    QByteArray utf16 = QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(utf16Text.utf16()), utf16Text.size() * 2);
    const std::pair<QByteArray, const char *> sources[] = {{ov2, "ov2"}, {gpx, "gpx"}, {utf16, "gpx"}};
    for (const auto &[source, from] : sources) {
        const PoiCodec &codec = Codec(from);
        BlockReader in(source), again(source);
        const PoiRecords decoded = ReadRecords(codec, in);
        PoiRecords bytes = ReadRecords(codec, again, nullptr, nullptr, DeferTexts::AsBytes);
        ASSERT_EQ(bytes.records.size(), decoded.records.size()) << from;
        ASSERT_GT(decoded.records.size(), 400u) << from;
        bool someDeferred = false;
        for (const PoiRecord &r : bytes.records)
            someDeferred = someDeferred || !r.deferred.empty();
        EXPECT_TRUE(someDeferred) << from;
        for (const char *to : {"ov2", "gpx", "kml", "geojson"})
            EXPECT_EQ(RecordBytes(Codec(to), bytes), RecordBytes(Codec(to), decoded)) << from << " to " << to;
        for (PoiRecord &r : bytes.records)
            DecodeDeferredTexts(r);
        for (size_t i = 0; i < decoded.records.size(); ++i)
            EXPECT_EQ(bytes.records[i], decoded.records[i]) << from << " record " << i;
    }
}

// A record of plain coordinates and texts left as bytes goes out through the
// GPX writer's short way; with its texts decoded, through the general one:
// the same waypoint either way, with coordinates of every shape, the strict
// schema's longitude of 180, and the fields that send a record the long way.
TEST(RecordTexts, PlainGpxWaypointsAsTheGeneralWriter)
{
    const QByteArray coordinates[] = {"1", "-1.5", "+2.25", "1.", ".5", "180", "180.000", "-180", "0180", " 3", "1e2", "-", "", "x"};
    std::vector<PoiRecord> records;
    int k = 0;
    for (const QByteArray &lat : coordinates) {
        for (const QByteArray &lon : coordinates) {
            PoiRecord r;
            r.lat = lat;
            r.lon = lon;
            r.deferredAs = k % 3 == 0 ? TextEncoding::Utf8 : k % 3 == 1 ? TextEncoding::Windows1252 : TextEncoding::Utf8ElseWindows1252;
            r.defer(kNameText, k % 2 ? QByteArrayView("Caf\xC3\xA9 & <co>") : QByteArrayView("Caf\xE9 \xD0\x9C"));
            if (k % 4 == 1)
                r.defer(kDescText, "d\"esc");
            if (k % 5 == 2)
                r.defer(0, "12.5");  // ele: a text whose type is checked
            if (k % 6 == 3)
                r.defer(kNameText, "");
            if (k % 7 == 4)
                r.sym = QStringLiteral("Flag");
            if (k % 11 == 5)
                r.links.push_back({QStringLiteral("http://x"), QStringLiteral("t"), {}});
            if (k % 13 == 6)
                r.properties.push_back({QStringLiteral("key"), "\"v\""});
            if (k % 17 == 7)
                r.otherXml.push_back("<x:y xmlns:x=\"u\">1</x:y>");
            records.push_back(r);
            ++k;
        }
    }
    // "CAF\xC9\x96BAR": UTF-8 a reader would misread, written as references.
    PoiRecord misread;
    misread.lat = "1";
    misread.lon = "2";
    misread.deferredAs = TextEncoding::Utf8;
    misread.defer(kNameText, "CAF\xC9\x96" "BAR");
    records.push_back(misread);
    for (const bool strict : {false, true}) {
        PoiRecords bytes{records, {}}, decoded{records, {}};
        for (PoiRecord &r : decoded.records)
            DecodeDeferredTexts(r);
        int written = 0, writtenDecoded = 0;
        const QByteArray out = RecordBytes(Codec("gpx"), bytes, &written, strict);
        EXPECT_EQ(out, RecordBytes(Codec("gpx"), decoded, &writtenDecoded, strict)) << strict;
        EXPECT_EQ(written, writtenDecoded);
        EXPECT_GT(written, 100);
    }
}

// Every field left as bytes of every kind, or decoded, or both (a field given
// twice), with texts the flat formats carry as properties or not: each writer
// that takes bytes writes what it writes of the decoded texts, and the joined
// name a filter compares is the same.
TEST(RecordTexts, EveryFieldFromTheBytesAsFromTheDecodedTexts)
{
    const QByteArray texts[] = {"", "Gare", "Caf\xC3\xA9", "Caf\xE9", "\xC3", "\xED\xA0\x80", "\xEF\xBB\xBF" "mark",
                                "a\x01<b>&\"c\\\"\x1F'", "\xE2\x82\xAC 5", "CAF\xC9\x96" "BAR", "\x81\x8D\x9D", "\xF0\x9D\x84\x9E",
                                "12.5", "-3", "1e3", "+.5", "1.2.3", " 7", "2024-09-17T13:36:01Z", "2024-02-30T10:00:00Z", "2024-09-17T24:00:00Z",
                                "0000-01-01T00:00:00Z", "2024-09-17T13:36:01", "2024-09-17T13:60:01Z", "tab\there\r\n", "\x7F\xEF\xBF\xBE", "\xD0\x9C\xD0\xB8\xD1\x80"};
    const int n = int(std::size(texts));
    const TextEncoding encodings[] = {TextEncoding::Utf8, TextEncoding::Windows1252, TextEncoding::Utf8ElseWindows1252};
    const QString loneHalf = QStringLiteral("x") + QChar(0xD800) + QStringLiteral("<y>");
    std::vector<PoiRecord> records;
    for (int k = 0; k < 600; ++k) {
        PoiRecord r;
        r.lat = k % 50 == 7 ? "1e1" : "1.5";
        r.lon = "-2.25";
        r.deferredAs = encodings[k % 3];
        // A quarter of the records leave only the texts the flat formats have a place for.
        const bool onlyOwn = k % 4 == 0;
        for (int f = 0; f < int(std::size(kRecordTexts)); ++f) {
            const bool own = f <= 1 || (f >= 4 && f <= 9);
            const QByteArray &text = texts[(k * 7 + f * 5) % n];
            const int mode = (k * 3 + f) % 6;
            if (mode == 1 || mode == 4)
                r.*kRecordTexts[f] = (k + f) % 5 == 0 ? loneHalf : DecodeText({texts[(k + f) % n], encodings[f % 3]});
            if ((mode == 2 || mode == 4 || mode == 5) && (own || !onlyOwn))
                r.defer(f, text);
            if (mode == 5 && k % 2 == 1 && (own || !onlyOwn))
                r.defer(f, texts[(k + 3 * f) % n]);  // given twice: the last counts
        }
        if (k % 9 == 4)
            r.properties.push_back({QStringLiteral("name"), "\"own\""});
        if (k % 11 == 6)
            r.links.push_back({QStringLiteral("http://x/?a&b"), QStringLiteral("t\"x"), {}});
        records.push_back(r);
    }
    PoiRecords bytes{records, {}}, decoded{records, {}};
    for (PoiRecord &r : decoded.records)
        DecodeDeferredTexts(r);
    for (size_t i = 0; i < records.size(); ++i)
        ASSERT_EQ(JoinedName(bytes.records[i]), JoinedName(decoded.records[i])) << i;
    for (const char *to : {"ov2", "gpx", "kml", "geojson"}) {
        ASSERT_TRUE(Codec(to).writesTextBytes()) << to;
        int written = 0, writtenDecoded = 0;
        const QByteArray out = RecordBytes(Codec(to), bytes, &written);
        EXPECT_EQ(out, RecordBytes(Codec(to), decoded, &writtenDecoded)) << to;
        EXPECT_EQ(written, writtenDecoded) << to;
        EXPECT_GT(written, 500) << to;
    }
}

// Windows-1252 and UTF-8 escaped for XML eight bytes at a time where they are
// plain: every byte value at every place of two words and a tail, alone or
// after another that needs more than a copy, as the decoded text escapes.
TEST(RecordTexts, Windows1252XmlWordsAsTheDecodedText)
{
    for (int b = 0; b < 256; ++b) {
        for (int at = 0; at < 19; ++at) {
            for (const char before : {'a', '&', '\xE9', '\x01'}) {
                QByteArray bytes(19, 'a');
                bytes[at] = char(b);
                if (at > 0)
                    bytes[at - 1] = before;
                QByteArray out = "x";
                AppendEscapedXml(out, bytes);
                ASSERT_EQ(out, "x" + EscapeXml(DecodeWindows1252(bytes)).toUtf8()) << b << " at " << at;
            }
            // The same on UTF-8: ASCII of every value, after an accent or a mark.
            for (const QByteArray &before : {QByteArray("\xC3\xA9"), QByteArray("&"), QByteArray("\x01"), QByteArray("\xE2\x82\xAC")}) {
                if (b >= 0x80)
                    break;
                QByteArray bytes(19, 'a');
                bytes[at] = char(b);
                bytes.insert(at, before);
                QByteArray out = "x";
                ASSERT_TRUE(AppendXmlUtf8(out, bytes));
                ASSERT_EQ(out, XmlOf(QString::fromUtf8(bytes)).replace("<name>", "x")) << b << " at " << at;
            }
        }
    }
}
