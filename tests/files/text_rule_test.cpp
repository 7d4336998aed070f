// Each text of a file is read in the encoding it was written in, decided for
// that text alone: names of many languages in UTF-8 and in Windows-1252,
// mixed in one file in either order, capitals before punctuation, stray bytes.
#include "files/csv_format.h"
#include "files/gpx_format.h"
#include "files/ov2_format.h"
#include "files/text_codecs.h"
#include "support/tables.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace orvalis;
using orvalis::testing::TableOfRows;

namespace {

const QStringList kNames = {
    // French, German, Polish, Turkish, Czech, Greek, Cyrillic, Japanese.
    "Château d'Œuvre", "Église Saint-Éloi", "Café", "Crème brûlée", "Würzburg", "Straße", "Łódź", "Gdańsk",
    "İstanbul Çağ", "Şanlıurfa", "Český Krumlov", "Příbram", "Ω café", "Αθήνα", "Москва", "Санкт-Петербург", "東京",
    "大阪城", "Antiméridien", "Aebi Frères",
    // Romanian, with the comma-below letters.
    "Constanța", "Timișoara", "Țara Bârsei", "Șoseaua Kiseleff",
    // Capitals before punctuation, as Windows-1252 writes them.
    "CAFÉ–BAR", "HÔTEL•", "ÉTÉ…", "GARÇON’S", "CAFÉ—BAR", "PRÈS « ICI »", "ÇA‘", "Rosé™®", "N°5", "5 €",
};

QByteArray Ov2Record(const QByteArray &name)
{
    QByteArray r(13, '\0');
    r[0] = 2;
    const quint32 length = static_cast<quint32>(name.size()) + 14;
    for (int i = 0; i < 4; ++i)
        r[1 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    return r + name + '\0';
}

QStringList Ov2Names(const QByteArray &file)
{
    PoiTable t;
    ReadOv2(file, t, u'.');
    QStringList out;
    for (int r = 1; r <= t.lastRow(); ++r)
        out << t.field(r, FieldDescription);
    return out;
}

}  // namespace

TEST(TextRule, EveryNameReadsAsWritten)
{
    // Alone, in UTF-8 and (where it fits) in Windows-1252.
    for (const QString &name : kNames) {
        EXPECT_EQ(DecodeFileText(name.toUtf8()), name) << name.toStdString();
        if (FitsWindows1252(name)) {
            EXPECT_EQ(DecodeFileText(EncodeWindows1252(name)), name) << name.toStdString() << " in Windows-1252";
        }
    }
}

TEST(TextRule, BytesWindows1252LeavesUndefinedMakeATextUtf8)
{
    // Letters whose UTF-8 looks like Windows-1252 read wrongly (IPA, Latin Extended-B),
    // but whose second byte has no character in Windows-1252: no one wrote them in it.
    for (const char16_t c : {u'\u0241', u'\u024D', u'\u024F', u'\u0250', u'\u025D'}) {
        const QString text = QStringLiteral("Caf") + QChar(c);
        EXPECT_EQ(DecodeFileText(text.toUtf8()), text) << text.toUtf8().toHex().toStdString();
        EXPECT_FALSE(ReadsAsWindows1252(text.toUtf8())) << text.toUtf8().toHex().toStdString();
    }
}

TEST(TextRule, EveryCharacterInsideAWordReadsAsUtf8)
{
    // "x<c>y" in UTF-8 for every assigned character c beyond ASCII: its
    // Windows-1252 reading ("xÎ©y", "xå®œy") is never a name's.
    int checked = 0;
    QStringList wrong;
    for (char32_t c = 0xA0; c < 0x30000; ++c) {
        const QChar::Category k = QChar::category(c);
        if (k == QChar::Other_NotAssigned || k == QChar::Other_Surrogate || k == QChar::Other_PrivateUse ||
            k == QChar::Other_Control || (c & 0xFFFE) == 0xFFFE || c == 0xFEFF)
            continue;
        const QString text = u'x' + QString::fromUcs4(&c, 1) + u'y';
        ++checked;
        if (DecodeFileText(text.toUtf8()) != text)
            wrong << text;
    }
    EXPECT_GT(checked, 100000);
    EXPECT_EQ(wrong.size(), 0) << wrong.mid(0, 20).join(u' ').toStdString();
}

TEST(TextRule, NamesMixedInOneFileInEitherOrder)
{
    QByteArray forward, backward;
    QStringList expected;
    for (const QString &name : kNames) {
        forward += Ov2Record(name.toUtf8());
        expected << name;
        if (FitsWindows1252(name)) {
            forward += Ov2Record(EncodeWindows1252(name));
            expected << name;
        }
    }
    EXPECT_EQ(Ov2Names(forward), expected);
    // The same records backwards: no name depends on the ones before it.
    QStringList reversed(expected.rbegin(), expected.rend());
    PoiTable t;
    ReadOv2(forward, t, u'.');
    for (int r = t.lastRow(); r >= 1; --r)
        backward += Ov2Record(t.field(r, FieldDescription).toUtf8());
    EXPECT_EQ(Ov2Names(backward), reversed);
}

TEST(TextRule, AStrayByteGarblesNothingElse)
{
    // A UTF-8 GPX and CSV with one 0xFF: the accented names stay as written.
    const QByteArray gpx = "<gpx><wpt lat='1' lon='2'><name>W\xC3\xBCrzburg</name></wpt>"
                           "<wpt lat='1' lon='2'><name>Caf\xC3\xA9 Cr\xC3\xA8me</name></wpt>"
                           "<wpt lat='1' lon='2'><name>Wu\xCC\x88rzburg</name></wpt>"
                           "<wpt lat='1' lon='2'><name>stray \xFF</name></wpt></gpx>";
    PoiTable g;
    ReadGpx(gpx, g, u'.');
    EXPECT_EQ(g.field(1, FieldDescription), QStringLiteral("Würzburg - "));
    EXPECT_EQ(g.field(2, FieldDescription), QStringLiteral("Café Crème - "));
    EXPECT_EQ(g.field(3, FieldDescription), QString::fromUtf8("Wu\xCC\x88rzburg - "));  // a combining accent
    EXPECT_EQ(g.field(4, FieldDescription), QStringLiteral("stray ÿ - "));
    PoiTable c;
    ReadCsv("lat,lon,name\n1,2,W\xC3\xBCrzburg\n1,2,Wu\xCC\x88rzburg\n1,2,stray \xFF\n1,2,CAF\xC9\x96" "BAR\n", c, u'.');
    EXPECT_EQ(c.field(1, FieldDescription), QStringLiteral("Würzburg"));
    EXPECT_EQ(c.field(2, FieldDescription), QString::fromUtf8("Wu\xCC\x88rzburg"));
    EXPECT_EQ(c.field(3, FieldDescription), QStringLiteral("stray ÿ"));
    EXPECT_EQ(c.field(4, FieldDescription), QStringLiteral("CAFÉ–BAR"));
}

TEST(TextRule, WhatTheProgramWritesReadsBack)
{
    QList<QStringList> rows;
    for (const QString &name : kNames + QStringList{"ɖ", "CAFɖBAR", "Ros陮", "Ã©", "̈ alone"})
        rows << QStringList{"1", "2", name};
    const PoiTable t = TableOfRows(rows);
    for (const auto &[what, bytes] : {std::pair{"ov2", Ov2FileBytes(t, 1, t.lastRow(), u'.')},
                                      std::pair{"gpx", GpxFileBytes(t, 1, t.lastRow())},
                                      std::pair{"csv", CsvFileBytes(t, 1, t.lastRow())}}) {
        PoiTable back;
        if (QByteArray(what) == "ov2")
            ReadOv2(bytes, back, u'.');
        else if (QByteArray(what) == "gpx")
            ReadGpx(bytes, back, u'.');
        else
            ReadCsv(bytes, back, u'.');
        ASSERT_EQ(back.lastRow(), t.lastRow()) << what;
        for (int r = 1; r <= t.lastRow(); ++r) {
            QString got = back.field(r, FieldDescription);
            if (QByteArray(what) == "gpx")
                got.chop(3);  // the " - " the window's reading joins
            EXPECT_EQ(got, t.field(r, FieldDescription)) << what << " row " << r;
        }
    }
    // A French file with one Greek name keeps its Windows-1252 bytes for the others.
    const PoiTable french = TableOfRows({{"1", "2", "Château"}, {"1", "2", "Ψ point"}});
    EXPECT_TRUE(Ov2FileBytes(french, 1, 2, u'.').contains("Ch\xE2teau"));
}

TEST(TextRule, Utf32GpxWithAByteOrderMarkLoads)
{
    const QString gpx = QStringLiteral("<gpx><wpt lat=\"1\" lon=\"2\"><name>Łódź 東京</name></wpt></gpx>");
    for (const auto encoding : {QStringConverter::Utf32LE, QStringConverter::Utf32BE}) {
        QStringEncoder encode(encoding, QStringConverter::Flag::WriteBom);
        const QByteArray bytes = encode(gpx);
        ASSERT_TRUE(IsGpxDocument(bytes));
        PoiTable t;
        EXPECT_EQ(ReadGpx(bytes, t, u'.').counter, 1);
        EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("Łódź 東京 - "));
    }
}

// The OV2 reader decides each name in one pass; what it keeps must be what
// DecodeFileText reads from the same bytes, for names pieced together from
// every kind of text: plain, accented, other scripts, marked, garbled, stray.
TEST(TextRule, Ov2NamesReadAsDecodeFileTextReadsThem)
{
    const QList<QByteArray> pieces = {
        "Gare", " ", "Caf\xC3\xA9", "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "\xE6\x9D\xB1\xE4\xBA\xAC",
        "\xEF\xBB\xBF", "\xC3\x83\xC2\xA9", "\xE9", "\x81", "\xC9\x96", "\xCA\xBB", "\xCE\xA9", "\xCC\x81",
        "\xF0\x9F\x8D\xB7", "\xE2\x80\x93", "\x96", "\xC3", "|", "\xC8\x9B"};
    QRandomGenerator rng(1208);
    QList<QByteArray> names;
    QByteArray file;
    for (int i = 0; i < 5000; ++i) {
        QByteArray name;
        for (int k = rng.bounded(1, 5); k > 0; --k)
            name += pieces[rng.bounded(pieces.size())];
        names << name;
        file += Ov2Record(name);
    }
    const QStringList read = Ov2Names(file);
    ASSERT_EQ(read.size(), names.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        ASSERT_EQ(read[i], DecodeFileText(names[i])) << names[i].toHex().toStdString();
}
