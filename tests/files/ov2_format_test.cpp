#include "files/ov2_format.h"
#include "files/text_codecs.h"
#include "geo/decimal_entry.h"
#include "geo/geodesy.h"
#include "table/cp1252.h"
#include "table/distance_run.h"
#include "table/sort_by_field.h"

#include <QRandomGenerator>
#include <QtEndian>
#include "support/tables.h"

#include "support/given_back.h"

#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <limits>

using namespace orvalis;
using orvalis::testing::TableOfRows;

namespace {

QByteArray U32(uint32_t v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray Simple(int32_t lon, int32_t lat, const QByteArray &name, int padding = 0)
{
    return QByteArray(1, '\x02') + U32(static_cast<uint32_t>(14 + name.size() + padding)) + U32(static_cast<uint32_t>(lon)) +
           U32(static_cast<uint32_t>(lat)) + name + QByteArray(1, '\0') + QByteArray(padding, '\x55');
}

QByteArray Skipper(uint32_t length)
{
    return QByteArray(1, '\x01') + U32(length) + QByteArray(16, '\x11');
}

QByteArray Extended(const QByteArray &payload)
{
    return QByteArray(1, '\x03') + U32(static_cast<uint32_t>(5 + payload.size())) + payload;
}


}  // namespace

TEST(Ov2Read, SkipperEnclosingThreeRecords)
{
    const QByteArray records = Simple(235222, 4885661, "Paris") + Simple(-449448, 4837810, "Brest") + Simple(0, -1, "Zero");
    PoiTable t;
    const ReadResult r = ReadOv2(Skipper(21 + records.size()) + records, t, u',');
    EXPECT_EQ(r.counter, 3);
    ASSERT_EQ(t.rowCount(), 4);
    EXPECT_EQ(t.field(1, FieldNumber), QStringLiteral("1"));
    EXPECT_EQ(t.field(1, FieldLatitude), QStringLiteral("48,85661"));
    EXPECT_EQ(t.field(1, FieldLongitude), QStringLiteral("2,35222"));
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("Paris"));
    EXPECT_EQ(t.field(2, FieldLongitude), QStringLiteral("-4,49448"));
    EXPECT_EQ(t.field(3, FieldLatitude), QStringLiteral("-0,00001"));
    EXPECT_EQ(t.field(3, FieldLongitude), QStringLiteral("0,00000"));
}

TEST(Ov2Read, CoordinateTextForms)
{
    EXPECT_EQ(Ov2CoordinateText(4885661, u'.'), QStringLiteral("48.85661"));
    EXPECT_EQ(Ov2CoordinateText(235222, u'.'), QStringLiteral("2.35222"));
    EXPECT_EQ(Ov2CoordinateText(12345678, u'.'), QStringLiteral("123.45680"));
    EXPECT_EQ(Ov2CoordinateText(17999999, u'.'), QStringLiteral("180.00000"));
    EXPECT_EQ(Ov2CoordinateText(-1, u'.'), QStringLiteral("-0.00001"));
    EXPECT_EQ(Ov2CoordinateText(-12345678, u','), QStringLiteral("-123,45680"));
}

TEST(Ov2Read, ExtendedRecordTakesANumberButNoRow)
{
    PoiTable t;
    const ReadResult r = ReadOv2(Simple(1, 1, "a") + Extended("xyz") + Simple(2, 2, "c"), t, u'.');
    EXPECT_EQ(r.counter, 3);
    ASSERT_EQ(t.lastRow(), 3);
    EXPECT_EQ(t.field(1, FieldNumber), QStringLiteral("1"));
    for (int f = 0; f < kFieldCount; ++f)
        EXPECT_TRUE(t.field(2, f).isEmpty());
    EXPECT_EQ(t.field(3, FieldNumber), QStringLiteral("3"));
    EXPECT_EQ(t.field(3, FieldDescription), QStringLiteral("c"));
}

TEST(Ov2Read, PaddingDeletedRecordsAndStrayBytes)
{
    PoiTable t;
    const QByteArray data = Simple(1, 1, "padded", 7) + QByteArray(1, '\x07') + QByteArray(1, '\0') + U32(9) + "junk" +
                            Simple(2, 2, "next");
    const ReadResult r = ReadOv2(data, t, u'.');
    EXPECT_EQ(r.counter, 2);
    EXPECT_EQ(r.unknownBytes, 1);
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("padded"));
    EXPECT_EQ(t.field(2, FieldDescription), QStringLiteral("next"));
}

TEST(Ov2Read, NamesInUtf8AndInWindows1252)
{
    PoiTable t;
    // Every name valid UTF-8, one of them Windows-1252 all the same ("É–" reads "ɖ").
    ReadOv2(Simple(1, 1, "Caf\xC3\xA9") + Simple(1, 1, "CAF\xC9\x96" "BAR") + Simple(1, 1, "\xF0\x9F\x9A\x97 car"), t, u'.');
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("Café"));
    EXPECT_EQ(t.field(2, FieldDescription), QStringLiteral("CAFÉ–BAR"));
    EXPECT_EQ(t.field(3, FieldDescription), QString::fromUtf8("\xF0\x9F\x9A\x97 car"));
    // Some names are not UTF-8: those are Windows-1252, the others as they read best.
    PoiTable m;
    ReadOv2(Simple(1, 1, "Aebi Fr\xE8res") + Simple(1, 1, "Caf\xC3\xA9") + Simple(1, 1, "\xD0\x9C\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE") +
                Simple(1, 1, "\xF0\x9F\x9A\x97 car") + Simple(1, 1, "\xC0\xAF overlong") + Simple(1, 1, "\x80\x80 stray") +
                Simple(1, 1, "CAF\xC9\x96" "BAR"),
            m, u'.');
    EXPECT_EQ(m.field(1, FieldDescription), QStringLiteral("Aebi Frères"));
    EXPECT_EQ(m.field(2, FieldDescription), QStringLiteral("Café"));  // each name on its own
    EXPECT_EQ(m.field(3, FieldDescription), QStringLiteral("Метро"));
    EXPECT_EQ(m.field(4, FieldDescription), QString::fromUtf8("\xF0\x9F\x9A\x97 car"));
    EXPECT_EQ(m.field(5, FieldDescription), QStringLiteral("À¯ overlong"));
    EXPECT_EQ(m.field(6, FieldDescription), QStringLiteral("€€ stray"));
    EXPECT_EQ(m.field(7, FieldDescription), QStringLiteral("CAFÉ–BAR"));

    // A name that is not UTF-8 changes nothing for the others, before or after it.
    PoiTable late;
    const ReadResult r = ReadOv2(Simple(1, 1, "CAF\xC9\x96" "BAR") + Simple(2, 2, "Caf\xC3\xA9") + Simple(3, 3, "Fr\xE8res"), late, u'.');
    EXPECT_EQ(r.counter, 3);
    EXPECT_EQ(late.lastRow(), 3);
    EXPECT_EQ(late.field(1, FieldDescription), QStringLiteral("CAFÉ–BAR"));
    EXPECT_EQ(late.field(2, FieldDescription), QStringLiteral("Café"));
    EXPECT_EQ(late.field(3, FieldDescription), QStringLiteral("Frères"));
}

TEST(Ov2Read, StrictUtf8RefusesSurrogatesOverlongsAndStrays)
{
    for (const QByteArray &bad : {QByteArray("\xED\xA0\x80"), QByteArray("\xC0\xAF"), QByteArray("\x80"), QByteArray("\xF4\x90\x80\x80")})
        EXPECT_FALSE(DecodeUtf8Strict(bad, nullptr)) << bad.toHex().toStdString();
    EXPECT_EQ(DecodeFileText("\xED\xA0\x80"), QString::fromUtf16(u"\u00ED\u00A0\u20AC"));  // read as Windows-1252
    QString ok;
    EXPECT_TRUE(DecodeUtf8Strict("\xF0\x9F\x9A\x97", &ok));
}

// Names are read straight from UTF-8 into 8-bit text: every character and
// every broken sequence must be judged as the strict check and the
// decoder judge them, and every byte of the code page must map back.
TEST(Ov2Read, OnePassUtf8DecodingAgreesWithTheStrictCheck)
{
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(cp1252::Encode(cp1252::Decode(static_cast<unsigned char>(b))), b);
    for (char32_t u = 0; u < 0x10000; ++u) {
        const int e = cp1252::Encode(static_cast<char16_t>(u));
        ASSERT_EQ(e >= 0, e >= 0 && cp1252::Decode(static_cast<unsigned char>(e)) == u) << static_cast<uint32_t>(u);
    }
    std::vector<QByteArray> inputs = {"", "ascii only, longer than eight", "\xED\xA0\x80", "\xC0\xAF", "\x80",
                                      "\xF4\x90\x80\x80", "\xE2\x82", "abc\xC3", "\xC3\xA9t\xC3\xA9 \xE2\x80\x99",
                                      "\xF0\x9F\x9A\x97 car", "\xE0\x80\xAF", "\xC3\xA9\xFF"};
    for (char32_t cp = 1; cp <= 0x10FFFF; cp += (cp < 0x3000 ? 1 : 97)) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        inputs.push_back("Caf" + QString::fromUcs4(&cp, 1).toUtf8() + " des Sports");
    }
    for (const QByteArray &in : inputs) {
        QByteArray out(in.size(), '\0');
        qsizetype length = -1;
        const Utf8Text kind = Utf8AsWindows1252(in, out.data(), &length);
        if (!IsStrictUtf8(in)) {
            EXPECT_EQ(kind, Utf8Text::Invalid) << in.toHex().toStdString();
            continue;
        }
        const QString text = QString::fromUtf8(in);
        ASSERT_EQ(kind, FitsWindows1252(text) ? Utf8Text::Windows1252 : Utf8Text::Wide) << in.toHex().toStdString();
        if (kind == Utf8Text::Windows1252) {
            EXPECT_EQ(out.left(length), EncodeWindows1252(text)) << in.toHex().toStdString();
        }
    }
}

TEST(Ov2Read, Windows1252CapitalsBeforePunctuationInFilesOfOtherPrograms)
{
    // Each pair is valid UTF-8 for some other letter; they are read as the
    // Windows-1252 they are, alone or next to a name that is not UTF-8.
    const QString marks = QStringLiteral("–—…€‘’“”«»°");
    for (const QChar capital : QStringLiteral("ÉÀÇ")) {
        for (const QChar mark : marks) {
            const QString name = QStringLiteral("CAF") + capital + mark + QStringLiteral("BAR");
            PoiTable t;
            ReadOv2(Simple(1, 1, "Fr\xE8res") + Simple(1, 1, EncodeWindows1252(name)), t, u'.');
            EXPECT_EQ(t.field(2, FieldDescription), name);
            PoiTable alone;
            ReadOv2(Simple(1, 1, EncodeWindows1252(name)), alone, u'.');
            EXPECT_EQ(alone.field(1, FieldDescription), name);
        }
    }
}

TEST(Ov2Read, DamagedFilesEndCleanly)
{
    const QByteArray good = Simple(1, 1, "kept");
    const QList<QByteArray> tails = {
        QByteArray(1, '\0') + U32(0),                 // length 0 would move backwards
        QByteArray(1, '\0') + U32(4),
        QByteArray(1, '\x02') + U32(10) + U32(1) + U32(1) + "x" + QByteArray(1, '\0'),  // length before the name's end
    };
    for (const QByteArray &tail : tails) {
        PoiTable t;
        const ReadResult r = ReadOv2(good + tail + Simple(2, 2, "after"), t, u'.');
        EXPECT_EQ(r.counter, 1) << tail.toHex().toStdString();
        EXPECT_TRUE(r.truncated);
        EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("kept"));
        EXPECT_EQ(t.lastRow(), 1);
    }
    // A length far past the end: a record whose fixed part and name are there
    // is kept (an extended one takes its POI number), and the reading ends.
    for (const char type : {'\x02', '\x03'}) {
        PoiTable t;
        const ReadResult r = ReadOv2(good + QByteArray(1, type) + U32(0xFFFFFFFF) + U32(1) + U32(1) + "last" +
                                         QByteArray(1, '\0') + Simple(2, 2, "after"), t, u'.');
        EXPECT_EQ(r.counter, 2);
        EXPECT_TRUE(r.truncated);
        EXPECT_EQ(t.lastRow(), type == '\x02' ? 2 : 1);
        EXPECT_EQ(t.field(2, FieldDescription), type == '\x02' ? QStringLiteral("last") : QString());
    }
    // Files that end inside a record.
    for (const QByteArray &tail : {QByteArray(1, '\x02') + U32(30) + U32(1) + U32(1) + "no zero", QByteArray(1, '\x02') + U32(14),
                                   QByteArray(1, '\x01') + U32(21) + "short", QByteArray(1, '\x00') + U32(9) + "ab"}) {
        PoiTable t;
        const ReadResult r = ReadOv2(good + tail, t, u'.');
        EXPECT_EQ(r.counter, 1) << tail.toHex().toStdString();
        EXPECT_TRUE(r.truncated);
    }
    PoiTable t;
    EXPECT_EQ(ReadOv2(QByteArray(), t, u'.').counter, 0);
    EXPECT_EQ(ReadOv2(QByteArray(100000, '\x07'), t, u'.').unknownBytes, 100000);
}

TEST(Ov2Write, EmptyTableGivesTheBareSkipper)
{
    PoiTable t;
    EXPECT_EQ(Ov2FileBytes(t, 1, 1, u',').toHex(' '), QByteArray("01 15 00 00 00 00 00 00 00 00 00 00 00 ff e3 0b 54 ff e3 0b 54"));
}

TEST(Ov2Write, OnePoiExactBytes)
{
    const PoiTable t = TableOfRows({{"48,85661", "2,35222", "Paris"}});
    const QByteArray bytes = Ov2FileBytes(t, 1, 1, u',');
    EXPECT_EQ(bytes.toHex(' '), QByteArray("01 28 00 00 00 d6 96 03 00 9d 8c 4a 00 d6 96 03 00 9d 8c 4a 00 "
                                           "02 13 00 00 00 d6 96 03 00 9d 8c 4a 00 50 61 72 69 73 00"));
    // The same cell read with a period locale: commas become periods first.
    EXPECT_EQ(Ov2FileBytes(t, 1, 1, u'.'), bytes);
}

// A zero would end the name inside the record: every one becomes a space,
// the first, the last and one past the first eight bytes alike.
TEST(Ov2Write, ZerosInANameBecomeSpaces)
{
    QByteArray out;
    Ov2Writer writer;
    writer.append(out, 1, 2, QByteArray("\0ab\0cdefghij\0", 14));
    writer.append(out, 3, 4, QByteArray());
    EXPECT_EQ(out.toHex(' ').toStdString(), std::string("02 1c 00 00 00 02 00 00 00 01 00 00 00 20 61 62 20 63 64 65 66 67 68 69 6a 20 20 00 "
                                         "02 0e 00 00 00 04 00 00 00 03 00 00 00 00"));
}

TEST(Ov2Write, BoundsStartAtZeroAndTheLargeSentinel)
{
    const PoiTable t = TableOfRows({{"-10", "-20", "a"}, {"-11", "-21", "b"}});
    const QByteArray b = Ov2FileBytes(t, 1, 2, u'.');
    EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + 5), 0);  // east never below 0
    EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + 9), 0);
    EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + 13), -2100000);
    EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + 17), -1100000);
}

TEST(Ov2Write, RoundingAndBadCells)
{
    EXPECT_EQ(Ov2CoordinateValue("-0.000005", u'.'), 0);
    EXPECT_EQ(Ov2CoordinateValue("0.000015", u'.'), 2);
    EXPECT_EQ(Ov2CoordinateValue("0,000025", u','), 2);
    EXPECT_EQ(Ov2CoordinateValue("abc", u','), 0);
    EXPECT_EQ(Ov2CoordinateValue("1e30", u'.'), 2147483647);
    EXPECT_EQ(Ov2CoordinateValue("-99999999999.5", u'.'), -2147483647 - 1);
    EXPECT_EQ(Ov2CoordinateValue("4.508905", u'.'), 450891);  // the extended product lies just above half
}

TEST(Ov2Write, DecimalsScaleAsTheirExtendedPrecisionProduct)
{
    // The digit-wise reading of plain decimals against the extended-precision product, on
    // every shape: ties, long tails, negative zero, integers, both separators, records' bytes.
    QRandomGenerator rng(20261208);
    for (int k = 0; k < 200000; ++k) {
        const int places = rng.bounded(0, 12);
        QString text = rng.bounded(4) == 0 ? QStringLiteral("-") : QString();
        text += QString::number(rng.bounded(k % 3 == 0 ? 1 : 181));
        if (places > 0) {
            text += u'.';
            for (int d = 0; d < places; ++d)
                text += QChar(u'0' + (d == 5 && rng.bounded(3) == 0 ? 5 : d > 5 && rng.bounded(2) == 0 ? 0 : rng.bounded(10)));
        }
        const long double product = std::nearbyint(std::strtold(text.toLatin1().constData(), nullptr) * 100000.0L);
        const auto expected = static_cast<int32_t>(product);
        ASSERT_EQ(Ov2CoordinateValue(text, u'.'), expected) << text.toStdString();
        ASSERT_EQ(Ov2CoordinateValue(text.toLatin1()), expected) << text.toStdString();
        ASSERT_EQ(Ov2CoordinateValue(QString(text).replace(u'.', u','), u','), expected) << text.toStdString();
    }
}

// A record's coordinate bytes read on the stack where the digits leave the
// rounding open: the value of their Latin-1 text, whatever their shape.
TEST(Ov2Write, CoordinateBytesAsTheirText)
{
    QList<QByteArray> texts = {"1.123455", "-1.123455", "1,123455", "-0,0000050", "179.9999950001", "+2.123455", " 3.123455",
                               "4.123455 ", "1e2", "1.5e-3", "1.2.3", "1,2,3", "", "-", ".", "1.", ".123455", "0x10",
                               "12345678901234567890.123455", "1.12345\xB5", QByteArray("1.1234\0" "5", 8),
                               "99999.999995", "-21474.836485", "21474.836475", QByteArray(70, '1') + ".5", "1." + QByteArray(70, '5')};
    QRandomGenerator rng(20261209);
    for (int k = 0; k < 20000; ++k) {
        QByteArray t = rng.bounded(3) == 0 ? "-" : "";
        t += QByteArray::number(rng.bounded(200)) + (rng.bounded(4) == 0 ? ',' : '.');
        for (int d = 0, places = rng.bounded(5, 12); d < places; ++d)
            t += char('0' + (d == 5 ? 5 : rng.bounded(10)));
        texts << t;
    }
    for (const QByteArray &t : texts)
        ASSERT_EQ(Ov2CoordinateValue(t), Ov2CoordinateValue(QString::fromLatin1(t), u'.')) << t.toStdString();
}

TEST(Ov2Write, UnusableRowsLeaveNoTrace)
{
    const PoiTable t = TableOfRows({{"1", "1", "a"}, {"", "2", "b"}, {"3", "", "c"}, {"4", "4", "d"}});
    const QByteArray b = Ov2FileBytes(t, 1, 4, u'.');
    PoiTable back;
    EXPECT_EQ(ReadOv2(b, back, u'.').counter, 2);
    EXPECT_EQ(back.field(2, FieldDescription), QStringLiteral("d"));
    EXPECT_EQ(qFromLittleEndian<uint32_t>(b.constData() + 1), static_cast<uint32_t>(b.size()));
}

TEST(Ov2Write, NamesRoundTripInBothEncodings)
{
    const PoiTable t = TableOfRows({{"1", "1", "Aebi Frères"}, {"2", "2", "Станция"}, {"3", "3", "Œuvre “quotes” €"}});
    const QByteArray b = Ov2FileBytes(t, 1, 3, u'.');
    EXPECT_TRUE(b.contains("Aebi Fr\xE8res"));  // Windows-1252 where it fits
    PoiTable back;
    ReadOv2(b, back, u'.');
    for (int r = 1; r <= 3; ++r)
        EXPECT_EQ(back.field(r, FieldDescription), t.field(r, FieldDescription));
}

TEST(Ov2Write, EachNameIsWrittenSoThatItReadsBack)
{
    QList<QStringList> rows = {{"1", "1", "CAFÉ–BAR"}, {"2", "2", "Aebi Frères"}, {"3", "3", "Café"},
                               {"4", "4", "Метро"}, {"5", "5", "À« °C »"}, {"6", "6", "Ψ point"}, {"7", "7", "Château"}};
    auto roundTrip = [](const PoiTable &t) {
        PoiTable back;
        ReadOv2(Ov2FileBytes(t, 1, t.lastRow(), u'.'), back, u'.');
        for (int r = 1; r <= t.lastRow(); ++r)
            EXPECT_EQ(back.field(r, FieldDescription), t.field(r, FieldDescription)) << r;
    };
    const PoiTable t = TableOfRows(rows);
    const QByteArray b = Ov2FileBytes(t, 1, t.lastRow(), u'.');
    // Windows-1252 wherever it fits and reads back: one Greek name changes no other.
    EXPECT_TRUE(b.contains("CAF\xC9\x96" "BAR"));
    EXPECT_TRUE(b.contains("Caf\xE9"));
    EXPECT_TRUE(b.contains("Ch\xE2teau"));
    EXPECT_TRUE(b.contains("\xCE\xA8 point"));
    roundTrip(t);
    // "CAFɖ" would read as "CAFÉ–" even in UTF-8: it goes out with the byte-order mark.
    rows.append({"8", "8", "CAFɖ"});
    rows.append({"9", "9", "Ã©"});  // Windows-1252 bytes that read as "é": UTF-8 then
    const PoiTable u = TableOfRows(rows);
    const QByteArray c = Ov2FileBytes(u, 1, u.lastRow(), u'.');
    EXPECT_TRUE(c.contains("\xEF\xBB\xBF" "CAF\xC9\x96"));
    EXPECT_TRUE(c.contains("Caf\xE9"));
    roundTrip(u);
}

TEST(Ov2Read, FastCoordinateTextMatchesTheGeneralFormatting)
{
    uint32_t seed = 7;
    for (int i = 0; i < 300000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        int32_t v = static_cast<int32_t>(seed % 36000001u) - 18000000;
        if (i % 3 == 0)
            v /= static_cast<int32_t>(1 + seed % 100000);  // small values too
        else if (i % 3 == 1 && i % 2 == 0)
            v = static_cast<int32_t>(seed);  // and any value a damaged file holds
        const float degrees = static_cast<float>(static_cast<long double>(v) * 0.00001L);
        ASSERT_EQ(Ov2CoordinateText(v, u'.'), FormatFixed(static_cast<double>(degrees), 7, 5, u'.')) << v;
        // The number a streamed reading takes without the text: the very one the text reads as.
        const long double read = *ParseDecimal(Ov2CoordinateText(v, u','), u','), fast = Ov2RoundedDegrees(RoundOv2(v));
        ASSERT_EQ(std::memcmp(&read, &fast, 10), 0) << v;  // the sign of a zero too
    }
    for (const int32_t v : {0, -1, 1, 15003125, -15003125, INT32_MIN, INT32_MAX, 999999, -999999, 9999995})
        EXPECT_EQ(Ov2RoundedDegrees(RoundOv2(v)), *ParseDecimal(Ov2CoordinateText(v, u'.'), u'.')) << v;
    // Exact ties round away from zero: 150.03125 is a float.
    EXPECT_EQ(Ov2CoordinateText(15003125, u'.'), QStringLiteral("150.03130"));
    EXPECT_EQ(Ov2CoordinateText(-15003125, u'.'), QStringLiteral("-150.03130"));
    EXPECT_EQ(Ov2CoordinateText(0, u'.'), QStringLiteral("0.00000"));
    EXPECT_EQ(Ov2CoordinateText(INT32_MIN, u'.'), FormatFixed(static_cast<double>(static_cast<float>(INT32_MIN * 0.00001L)), 7, 5, u'.'));
}

namespace {

// A file of more than 4 MiB, read by two readers at once: simple records
// named by their POI number, an extended record every 997, a skipper now
// and then; `damageAt` replaces that record by one without its zero.
QByteArray BigOv2(int records, int damageAt = -1, const QByteArray &lastName = {})
{
    QByteArray data;
    int number = 0;
    for (int i = 0; i < records; ++i) {
        ++number;
        if (i % 997 == 5) {
            data += Extended("extended");
            continue;
        }
        if (i % 5003 == 7)
            data += Skipper(21 + 2 * 40);
        QByteArray name = "POI " + QByteArray::number(number) + " \xC3\xA9t\xC3\xA9 " + QByteArray(8, 'x');
        if (i == damageAt)
            data += QByteArray(1, '\x02') + U32(14) + U32(1) + U32(2) + "no zero";
        else
            data += Simple(number, -number, i == records - 1 && !lastName.isEmpty() ? lastName : name);
    }
    return data;
}

}  // namespace

TEST(Ov2Read, BigFilesReadOnTwoCoresGiveEveryRowInItsPlace)
{
    const int n = 150000;
    PoiTable t;
    const QByteArray data = BigOv2(n) + Extended("trailing") + Extended("trailing");
    ASSERT_GT(data.size(), 4 << 20);
    const ReadResult r = ReadOv2(data, t, u'.');
    EXPECT_EQ(r.counter, n + 2);  // trailing extended records take numbers, and no rows
    EXPECT_EQ(t.lastRow(), n);
    EXPECT_FALSE(r.truncated);
    int checked = 0;
    for (int row = 1; row <= n; ++row) {
        if ((row - 1) % 997 == 5) {
            EXPECT_TRUE(t.fieldIsEmpty(row, FieldDescription));
            EXPECT_EQ(t.number(row), 0);
            continue;
        }
        if (t.number(row) != row ||
            t.field(row, FieldDescription) != QStringLiteral("POI %1 été xxxxxxxx").arg(row) ||
            t.field(row, FieldLongitude) != Ov2CoordinateText(row, u'.')) {
            ADD_FAILURE() << "row " << row << ": " << t.field(row, FieldDescription).toStdString();
            break;
        }
        ++checked;
    }
    EXPECT_GT(checked, n - n / 900);
}

TEST(Ov2Read, BigFilesStopAtADamagedRecordInEitherHalf)
{
    for (const int damageAt : {1000, 140000}) {
        PoiTable t;
        const ReadResult r = ReadOv2(BigOv2(150000, damageAt), t, u'.');
        EXPECT_TRUE(r.truncated);
        EXPECT_EQ(r.counter, damageAt);
        EXPECT_EQ(t.lastRow(), damageAt);
        EXPECT_EQ(t.field(damageAt, FieldDescription), QStringLiteral("POI %1 été xxxxxxxx").arg(damageAt));
    }
}

TEST(Ov2Read, BigFilesDecideEachName)
{
    // Valid UTF-8 for "CAFɖBAR" early; a Windows-1252 name at the very end.
    QByteArray data = Simple(1, 1, "CAF\xC9\x96" "BAR") + BigOv2(150000, -1, "Fr\xE8res");
    PoiTable t;
    const ReadResult r = ReadOv2(data, t, u'.');
    EXPECT_EQ(r.counter, 150001);
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("CAFÉ–BAR"));
    EXPECT_EQ(t.field(150001, FieldDescription), QStringLiteral("Frères"));
}

// orvalis-cli near reads an OV2 file's coordinates first and decodes only
// the names it needs: it must select and order exactly the rows, with the
// texts, of a whole reading. Places repeat (rows then differ by name only),
// names repeat, and one file mixes in Windows-1252.
TEST(Ov2Near, CoordinatesFirstGiveTheRowsOfAWholeReading)
{
    const QList<QByteArray> pool = {"Gare", "gare", "Caf\xC3\xA9", "CAF\xC3\x89", "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
                                    "Zoo", "", "\xC5\x81\xC3\xB3" "d\xC5\xBA", "a|b", "Aire"};
    for (const bool mixed : {false, true}) {
        QRandomGenerator rng(mixed ? 11 : 5);
        QByteArray data;
        const int n = 3000;
        for (int i = 0; i < n; ++i) {
            // Forty latitudes and thirty longitudes: many POIs share a place.
            const int32_t lat = 4800000 + 1111 * rng.bounded(40), lon = 200000 + 2345 * rng.bounded(30);
            QByteArray name = pool[rng.bounded(pool.size())];
            if (rng.bounded(3) == 0)
                name += " " + QByteArray::number(rng.bounded(5));
            if (mixed && i == n - 7)
                name = "Fr\xE8res";
            data += i % 400 == 3 ? Extended("x") : Simple(lon, lat, name);
        }
        for (const QLocale &locale : {QLocale(QLocale::French, QLocale::France), QLocale::c()}) {
            const QCollator collator = TableCollator(locale);
            for (const int base : {1, 2, 17, 1500, 2990}) {
                for (const long double radius : {0.0L, 2000.0L, 60000.0L, 2.0e7L}) {
                    PoiTable whole;
                    ReadOv2(data, whole, u',');
                    const std::vector<int> expected = NearSelection(whole, base, radius, u',', collator);
                    PoiTable lean;
                    std::vector<QByteArrayView> names;
                    ReadOv2Coordinates(data, lean, u',', names);
                    ASSERT_EQ(lean.lastRow(), whole.lastRow());
                    const std::vector<int> got = NearSelection(lean, base, radius, u',', collator, [&](const std::vector<int> &rows) {
                        StoreOv2Names(lean, names, rows);
                    });
                    ASSERT_EQ(got.size(), expected.size()) << base << " " << static_cast<double>(radius);
                    for (size_t i = 0; i < got.size(); ++i)
                        for (int f = 0; f < kFieldCount; ++f)
                            ASSERT_EQ(lean.field(got[i], f), whole.field(expected[i], f))
                                << "base " << base << " radius " << static_cast<double>(radius) << " row " << i << " field " << f;
                }
            }
        }
    }
}

TEST(Ov2Read, TwoReadersKeepTheSecondHalfAfterARecordAtTheMiddle)
{
    // A deleted (type 0) or extended (type 3) record just before the middle,
    // read on two cores even though the file is small: the same rows as one reader.
    for (const QByteArray &middle : {QByteArray(1, '\0') + U32(9) + "junk", Extended("extended record")}) {
        QByteArray data;
        for (int i = 0; i < 40; ++i)
            data += Simple(i, i, "first " + QByteArray::number(i));
        data += middle;
        for (int i = 0; i < 41; ++i)
            data += Simple(-i, -i, "second " + QByteArray::number(i));
        PoiTable one, two;
        const ReadResult r1 = ReadOv2WithTwoReadersFrom(data, one, u',', std::numeric_limits<qint64>::max());
        const ReadResult r2 = ReadOv2WithTwoReadersFrom(data, two, u',', 0);
        EXPECT_EQ(r2.counter, r1.counter);
        ASSERT_EQ(two.lastRow(), one.lastRow());
        for (int r = 1; r <= one.lastRow(); ++r)
            for (int f = 0; f < kFieldCount; ++f)
                ASSERT_EQ(two.field(r, f), one.field(r, f)) << r;
        EXPECT_EQ(two.field(two.lastRow(), FieldDescription), QStringLiteral("second 40"));
    }
}


TEST(Ov2Read, BytesGivenBackAsTheyAreReadGiveTheSameRows)
{
    // Files of a few megabytes (pages go a megabyte at a time) of every kind of
    // record and name, some cut or damaged at a random place: one reader and
    // two, giving back the pages they leave behind, read what one reader
    // keeping them reads.
    const QList<QByteArray> names = {"Gare", "Caf\xC3\xA9 de la Poste", "Fr\xE8res", "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
                                     "", QByteArray(300, 'n'), "\xE2\x82\xAC 5"};
    QRandomGenerator rng(2026);
    for (int file = 0; file < 6; ++file) {
        QByteArray data = Skipper(21);
        while (data.size() < (3 << 20) + rng.bounded(1 << 20)) {
            const int kind = rng.bounded(100);
            if (kind < 90)
                data += Simple(rng.bounded(-18000000, 18000000), rng.bounded(-9000000, 9000000),
                               names[rng.bounded(names.size())] + QByteArray::number(rng.bounded(1000)), rng.bounded(3) == 0 ? 7 : 0);
            else if (kind < 94)
                data += Extended(QByteArray(rng.bounded(40), 'e'));
            else if (kind < 97)
                data += QByteArray(1, '\0') + U32(9) + "dele";
            else if (kind < 99)
                data += Skipper(21);
            else
                data += '\x07';  // a byte of no record type
        }
        if (file % 3 == 1)
            data.truncate(data.size() - rng.bounded(1, 2000));  // cut short
        else if (file % 3 == 2)
            data.insert(static_cast<qsizetype>(rng.bounded(static_cast<int>(data.size()))), Simple(1, 1, "x") + U32(3) + '\x02');
        PoiTable one;
        const ReadResult r1 = ReadOv2WithTwoReadersFrom(data, one, u',', std::numeric_limits<qint64>::max());
        ASSERT_GT(one.lastRow(), 1000) << file;
        for (const qint64 twoReadersFrom : {qint64{0}, std::numeric_limits<qint64>::max()}) {
            QByteArray copy(data.constData(), data.size());
            PoiTable two;
            const ReadResult r2 = ReadOv2WithTwoReadersFrom(copy, two, u',', twoReadersFrom, ReadPages::GivenBack);
            orvalis::testing::ExpectSameReading(r1, one, r2, two, file);
            EXPECT_TRUE(orvalis::testing::HasZeroPage(copy)) << file;  // they did go
        }
    }
}
