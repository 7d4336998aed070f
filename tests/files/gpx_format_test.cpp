#include "files/gpx_format.h"
#include "files/text_codecs.h"
#include "files/xml_scan.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <limits>
#include <numeric>
#include "support/given_back.h"

#include <gtest/gtest.h>

using namespace orvalis;

namespace {

PoiTable Read(const QByteArray &data, QChar sep = u',', int *count = nullptr)
{
    PoiTable t;
    const ReadResult r = ReadGpx(data, t, sep);
    if (count)
        *count = r.counter;
    return t;
}

QByteArray Gpx(const QByteArray &body)
{
    return "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n" + body + "\n</gpx>\n";
}

}  // namespace

TEST(GpxRead, NameAndDescriptionWithTheLocaleSeparator)
{
    const PoiTable t = Read(Gpx("<wpt lat=\"48.858370\" lon=\"2.294481\"><name>Tour</name><desc>Vue</desc></wpt>"));
    EXPECT_EQ(t.field(1, FieldNumber), QStringLiteral("1"));
    EXPECT_EQ(t.field(1, FieldLatitude), QStringLiteral("48,858370"));
    EXPECT_EQ(t.field(1, FieldLongitude), QStringLiteral("2,294481"));
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("Tour - Vue"));
    EXPECT_EQ(Read(Gpx("<wpt lat=\"1,5\" lon=\"2\"/>"), u'.').field(1, FieldLatitude), QStringLiteral("1.5"));
}

TEST(GpxRead, CoordinatesAreCutToNineCharacters)
{
    const PoiTable t = Read(Gpx("<wpt lat=\"37.774929\" lon=\"-122.419416\"><name>SF</name></wpt>"), u'.');
    EXPECT_EQ(t.field(1, FieldLongitude), QStringLiteral("-122.4194"));
}

TEST(GpxRead, AttributesByNameInAnyQuotesAndOrder)
{
    const PoiTable t = Read(Gpx("<wpt lon='2.5' lat='48.5'><name>a</name></wpt>\n"
                                "<wpt\n\tlat=\"1\"\tlon=\"2\"><name>b</name></wpt>\n"
                                "<gpx:wpt lat=\"3\" lon=\"4\"><gpx:name>c</gpx:name></gpx:wpt>"),
                            u'.');
    EXPECT_EQ(t.field(1, FieldLatitude), QStringLiteral("48.5"));
    EXPECT_EQ(t.field(1, FieldLongitude), QStringLiteral("2.5"));
    EXPECT_EQ(t.field(2, FieldDescription), QStringLiteral("b - "));
    EXPECT_EQ(t.field(3, FieldDescription), QStringLiteral("c - "));
}

TEST(GpxRead, NameAndDescriptionAnywhereInTheWaypoint)
{
    const PoiTable t = Read(Gpx("<wpt lat=\"1\" lon=\"2\"><time>2020</time><ele>3</ele><name>third</name><cmt>c</cmt>"
                                "<desc>later</desc></wpt><wpt lat=\"1\" lon=\"2\"><desc>only</desc></wpt>"));
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("third - later"));
    EXPECT_EQ(t.field(2, FieldDescription), QStringLiteral(" - only"));
}

TEST(GpxRead, EntitiesCdataCommentsAndEncodings)
{
    const PoiTable t = Read(Gpx("<wpt lat=\"1\" lon=\"2\"><name>A &amp; B &lt;x&gt; &#233;&#x20AC; &bogus; &amp;amp;</name>"
                                "<desc><![CDATA[<b>bold</b> & co]]><!-- hidden --> end</desc></wpt>"
                                "<wpt lat=\"1\" lon=\"2\"><name>Fr\xE8res</name><desc>\xD0\x9C\xD0\xB5</desc></wpt>"
                                "<!-- <wpt lat=\"9\" lon=\"9\"></wpt> -->"));
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("A & B <x> é€ &bogus; &amp; - <b>bold</b> & co end"));
    EXPECT_EQ(t.field(2, FieldDescription), QStringLiteral("Frères - Ме"));
    EXPECT_EQ(t.lastRow(), 2);
}

// Plain waypoints are stored without building their text twice; each shape
// here must read as the general reader of element texts reads it.
TEST(GpxRead, EveryShapeOfNameAndDescriptionReadsAsTheGeneralReader)
{
    const QByteArray bodies[] = {
        "<name>Café</name><desc>l’été – 5 €</desc>",
        "<name>Caf\xC3\xA9</name>",
        "<desc>only</desc>",
        "<name/><desc/>",
        "<name></name><desc></desc>",
        "<name>a &amp; b</name><desc>x</desc>",
        "<name><![CDATA[x<y]]></name>",
        "<name>a<!-- c -->b</name><desc>d<!---->e</desc>",
        "<name>Москва</name><desc>été</desc>",
        "<name>été</name><desc>Москва</desc>",
        "<name>x<b>y</b></name><desc>z</desc>",
        "<desc>d</desc><name>n</name>",
        "<name>emoji \xF0\x9F\x9A\x97</name><desc>ok</desc>",
        "<name>tab\tand\nnewline</name>",
        "<name>first</name><name>second</name><desc>one</desc><desc>two</desc>",
        "<gpx:name xmlns:gpx=\"x\">prefixed</gpx:name>",
        "<name>\xC2\x80 control</name><desc>\xC2\xA0nbsp</desc>",
        "<name>cut short",
    };
    for (const QByteArray &body : bodies) {
        const QByteArray data = Gpx("<wpt lat=\"1\" lon=\"2\">" + body + "</wpt>");
        const xml::Cursor c(data);
        const qsizetype start = data.indexOf("<wpt");
        const qsizetype from = data.indexOf('>', start) + 1;
        const qsizetype to = data.lastIndexOf("</wpt>");
        const xml::NamePositions at = xml::FindNameAndDescription(c, from, to, "desc");
        const QString name = at.name >= 0 ? xml::ElementTextAt(c, at.name, to, false) : QString();
        const QString desc = at.desc >= 0 ? xml::ElementTextAt(c, at.desc, to, false) : QString();
        EXPECT_EQ(Read(data).field(1, FieldDescription), name + QStringLiteral(" - ") + desc) << body.toStdString();
    }
}

// Each text is decided on its own, in big files read in two halves too: a
// Windows-1252 byte at the end changes nothing for the texts before it.
TEST(GpxRead, EachTextOfABigFileDecidesForItself)
{
    QByteArray body = "<wpt lat=\"1\" lon=\"2\"><name>CAF\xC9\x96" "BAR</name></wpt>\n";
    const QByteArray filler = "<wpt lat=\"1\" lon=\"2\"><name>plain</name><desc>" + QByteArray(200, 'x') + "</desc></wpt>\n";
    while (body.size() < (9 << 20))
        body += filler;
    int count = 0;
    const PoiTable utf8 = Read(Gpx(body), u',', &count);
    // XML declaring nothing is UTF-8: valid UTF-8 reads as UTF-8, whatever Windows-1252 would make of it.
    EXPECT_EQ(utf8.field(1, FieldDescription), QString::fromUtf8("CAFɖBAR - "));
    const PoiTable mixed = Read(Gpx(body + "<wpt lat=\"3\" lon=\"4\"><name>Fr\xE8res</name></wpt>"), u',', nullptr);
    EXPECT_EQ(mixed.field(1, FieldDescription), QString::fromUtf8("CAFɖBAR - "));
    EXPECT_EQ(mixed.lastRow(), count + 1);
    EXPECT_EQ(mixed.field(count + 1, FieldDescription), QStringLiteral("Frères - "));
}

// Big files are read in two halves from a waypoint past the middle. When
// that "<wpt" lies in a comment, the first half's reading goes on alone.
TEST(GpxRead, BigFilesReadInTwoHalvesKeepEveryWaypointInOrder)
{
    for (const bool commentInTheMiddle : {false, true}) {
        QByteArray body;
        int n = 0;
        auto add = [&](int count) {
            for (int i = 0; i < count; ++i, ++n)
                body += "<wpt lat=\"1\" lon=\"2\"><name>P" + QByteArray::number(n) + "</name><desc>" + QByteArray(100, 'x') +
                        "</desc></wpt>\n";
        };
        add(40000);
        if (commentInTheMiddle) {
            body += "<!-- ";
            for (int i = 0; i < 40000; ++i)
                body += "<wpt lat=\"9\" lon=\"9\"><name>no</name></wpt>";
            body += " -->\n";
        }
        add(40000);
        const QByteArray data = Gpx(body);
        ASSERT_GT(data.size(), 8 << 20);
        int count = 0;
        const PoiTable t = Read(data, u',', &count);
        EXPECT_EQ(count, n);
        ASSERT_EQ(t.lastRow(), n);
        for (int r = 1; r <= n; ++r) {
            if (t.number(r) != r || t.field(r, FieldDescription) != QStringLiteral("P%1 - %2").arg(r - 1).arg(QString(100, u'x'))) {
                ADD_FAILURE() << "row " << r << ": " << t.field(r, FieldDescription).left(20).toStdString();
                break;
            }
        }
    }
}

TEST(GpxRead, DeclaredEncodingsAndByteOrderMarks)
{
    // Polish names in Windows-1250: "Łódź" is A3 F3 64 9F.
    const QByteArray cp1250 = "<?xml version='1.0' encoding=\"windows-1250\" ?>\n<gpx><wpt lat=\"51.7\" lon=\"19.4\">"
                              "<name>\xA3\xF3" "d\x9F</name><desc>Krak\xF3w</desc></wpt></gpx>";
    EXPECT_EQ(Read(cp1250).field(1, FieldDescription), QStringLiteral("Łódź - Kraków"));
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><gpx><wpt lat=\"1\" lon=\"2\">"
                                        "<name>Łódź Метро 🚗</name></wpt></gpx>");
    for (auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        int count = 0;
        const PoiTable t = Read(encoder(text), u',', &count);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("Łódź Метро 🚗 - "));
        EXPECT_EQ(t.field(1, FieldLatitude), QStringLiteral("1"));
    }
    // ISO-8859-1 and an unknown name fall back to the rule of files that declare nothing.
    EXPECT_EQ(Read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><gpx><wpt lat=\"1\" lon=\"2\"><name>Fr\xE8res \x80</name></wpt></gpx>")
                  .field(1, FieldDescription),
              QStringLiteral("Frères € - "));
    EXPECT_EQ(Read("<?xml version=\"1.0\" encoding=\"x-unknown\"?><gpx><wpt lat=\"1\" lon=\"2\"><name>Caf\xC3\xA9</name></wpt></gpx>")
                  .field(1, FieldDescription),
              QStringLiteral("Café - "));
}

TEST(GpxRead, WhatIsAGpxDocument)
{
    EXPECT_TRUE(IsGpxDocument(Gpx("")));
    EXPECT_TRUE(IsGpxDocument("<gpx>"));
    EXPECT_TRUE(IsGpxDocument("<?xml version='1.0'?><topo:gpx xmlns:topo='x'/>"));
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    const QByteArray wide = utf16(QStringLiteral("<?xml version=\"1.0\"?><gpx version=\"1.1\"></gpx>"));
    EXPECT_TRUE(IsGpxDocument(wide));
    for (const char *not_gpx : {"", "gpx", "<gpxx>", "plain text about gpx files", "<kml><Placemark/></kml>", "x:gpx>"})
        EXPECT_FALSE(IsGpxDocument(not_gpx)) << not_gpx;
}

TEST(GpxRead, OnlyTextsThatAreNotUtf8ReadAsWindows1252)
{
    // A name that is not UTF-8 is Windows-1252, alone: the valid UTF-8 of the
    // others is UTF-8 ("É–" bytes are "ɖ"), Cyrillic stays Cyrillic.
    const PoiTable t = Read(Gpx("<wpt lat=\"1\" lon=\"2\"><name>Fr\xE8res</name></wpt>"
                                "<wpt lat=\"1\" lon=\"2\"><name>CAF\xC9\x96" "BAR</name><desc>\xD0\x9C\xD0\xB5\xD1\x82</desc></wpt>"));
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("Frères - "));
    EXPECT_EQ(t.field(2, FieldDescription), QString::fromUtf8("CAFɖBAR - Мет"));
}

TEST(GpxRead, RouteAndTrackPointsAreNotWaypoints)
{
    int count = 0;
    Read(Gpx("<rte><rtept lat=\"1\" lon=\"1\"/></rte><trk><trkseg><trkpt lat=\"1\" lon=\"1\"/></trkseg></trk>"
             "<wptx lat=\"1\" lon=\"1\"/>"),
         u'.', &count);
    EXPECT_EQ(count, 0);
}

TEST(GpxRead, FilesCutShortKeepWhatTheyHold)
{
    // The whole waypoints: one cut by the end of the file is left out (its texts may be cut too).
    int count = 0;
    PoiTable t = Read("\xEF\xBB\xBF<gpx><wpt lat=\"48.1\" lon=\"2.2\"/><wpt lat=\"48.1\" lon=\"2.2\"><name>cut", u'.', &count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(t.field(1, FieldLatitude), QStringLiteral("48.1"));
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral(" - "));
    for (const QByteArray &cut : {QByteArray("<wpt"), QByteArray("<wpt lat=\"4"), QByteArray("<wpt lat=\"4\" lon"),
                                  QByteArray("<wpt lat=\"1\" lon=\"2\"><name"), QByteArray("<")}) {
        t = Read(cut, u'.', &count);
        EXPECT_LE(count, 1);
    }
}

TEST(GpxWrite, HeaderLinesAndFooterWithCrLf)
{
    PoiTable t;
    EXPECT_EQ(GpxFileBytes(t, 1, 1), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                                "<gpx version=\"1.0\" creator=\"Orvalis\">\r\n</gpx>\r\n"));
}

TEST(GpxWrite, CharactersXmlForbidsBecomeSpaces)
{
    PoiTable t;
    t.setRowCount(2);
    t.setField(1, FieldLatitude, "1");
    t.setField(1, FieldLongitude, "2");
    t.setField(1, FieldDescription, QString::fromUtf16(u"a\u0001b\u001Fc\tTab\uFFFEd\uFFFF"));
    const QByteArray b = GpxFileBytes(t, 1, 1);
    EXPECT_TRUE(b.contains("<name>a b c\tTab d </name>"));
    EXPECT_EQ(Read(b).field(1, FieldDescription), QStringLiteral("a b c\tTab d  - "));
}

TEST(GpxWrite, OneLinePerUsableRowEscapedAndUtf8)
{
    PoiTable t;
    t.setRowCount(4);
    const QStringList descriptions = {"Café & \"bar\" <1>", "skipped", "Метро"};
    for (int r = 1; r <= 3; ++r) {
        t.setNumber(r, r);
        t.setField(r, FieldLatitude, r == 2 ? QString() : QStringLiteral("48,85661"));
        t.setField(r, FieldLongitude, QStringLiteral("2,35"));
        t.setField(r, FieldDescription, descriptions[r - 1]);
    }
    const QByteArray b = GpxFileBytes(t, 1, 3);
    EXPECT_TRUE(b.contains("<wpt lat=\"48.85661\" lon=\"2.35\"><name>Caf\xC3\xA9 &amp; &quot;bar&quot; &lt;1&gt;</name></wpt>\r\n"));
    EXPECT_FALSE(b.contains("skipped"));
    // What the program writes reads back, each description followed by " - ".
    PoiTable back;
    EXPECT_EQ(ReadGpx(b, back, u',').counter, 2);
    EXPECT_EQ(back.field(1, FieldDescription), QStringLiteral("Café & \"bar\" <1> - "));
    EXPECT_EQ(back.field(2, FieldDescription), QStringLiteral("Метро - "));
    EXPECT_EQ(back.field(1, FieldLatitude), QStringLiteral("48,85661"));
}

// Descriptions stored as 8-bit text are escaped and encoded in one step:
// every byte must come out as the general escaping would write it.
TEST(GpxWrite, EightBitTextsEscapeAsTheirCharactersDo)
{
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    for (const QByteArray &text : {all, QByteArray("Caf\xE9 & \x93quotes\x94 <b> \x80 5"), QByteArray()}) {
        QByteArray out;
        AppendEscapedXml(out, text);
        EXPECT_EQ(out, EscapeXml(DecodeWindows1252(text)).toUtf8());
    }
    QByteArray utf8 = "x";
    AppendWindows1252AsUtf8(utf8, all, ';', ' ');
    EXPECT_EQ(utf8, "x" + DecodeWindows1252(all).replace(u';', u' ').toUtf8());
    QByteArray coordinate = "x";
    AppendEscapedXml(coordinate, "-1,5<", '.');
    EXPECT_EQ(coordinate, QByteArray("x-1.5&lt;"));
}

// orvalis-cli near reads a GPX file's coordinates first and gives rows their
// descriptions when it needs them: every row must get what a whole reading
// gives it, in big files read in two halves too.
TEST(GpxRead, CoordinatesFirstThenDescriptionsAsAWholeReading)
{
    QByteArray big;
    for (int i = 0; i < 80000; ++i)
        big += "<wpt lat=\"1." + QByteArray::number(i % 97) + "\" lon=\"2\"><name>P" + QByteArray::number(i) +
               (i % 3 ? "</name><desc>d&amp;d " : "</name><desc><![CDATA[c<d]]>") + QByteArray(100, 'x') + "</desc></wpt>\n";
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    const QByteArray inUtf16 = utf16(QString::fromUtf8(Gpx("<wpt lat=\"1\" lon=\"2\"><name>Москва</name><desc>x</desc></wpt>")));
    for (const QByteArray &data : {Gpx(big), Gpx(big + "<wpt lat=\"3\" lon=\"4\"><name>Fr\xE8res</name></wpt>"),
                                   Gpx("<wpt lat=\"1\" lon=\"2\"><name>\xC3\xA9t\xC3\xA9</name></wpt><wpt lat=\"1\" lon=\"2\"/>"),
                                   inUtf16}) {
        PoiTable whole, lean;
        const ReadResult expected = ReadGpx(data, whole, u',');
        GpxWaypoints waypoints;
        const ReadResult got = ReadGpxCoordinates(data, lean, u',', waypoints);
        ASSERT_EQ(got.counter, expected.counter);
        ASSERT_EQ(lean.lastRow(), whole.lastRow());
        std::vector<int> rows(static_cast<size_t>(lean.lastRow()));
        std::iota(rows.begin(), rows.end(), 1);
        StoreGpxNames(lean, waypoints, rows);
        for (int r = 1; r <= whole.lastRow(); ++r)
            for (int f = 0; f < kFieldCount; ++f)
                ASSERT_EQ(lean.field(r, f), whole.field(r, f)) << "row " << r << " field " << f;
    }
}

TEST(GpxRead, CoordinatesCutWithASeparatorOutsideAscii)
{
    // The Arabic decimal separator is not a comma: the point forms, cut to nine
    // characters, blanks trimmed first, as with an ASCII separator.
    const PoiTable t = Read(Gpx("<wpt lat=\"-179.1234567\" lon=\" 48.5 \"/><wpt lat=\"1,25\" lon=\"2\"/>"), QChar(0x066B));
    EXPECT_EQ(t.field(1, FieldLatitude), QStringLiteral("-179.1234"));
    EXPECT_EQ(t.field(1, FieldLongitude), QStringLiteral("48.5"));
    EXPECT_EQ(t.field(2, FieldLatitude), QStringLiteral("1.25"));
    const PoiTable p = Read(Gpx("<wpt lat=\"-179.1234567\" lon=\" 48.5 \"/><wpt lat=\"1,25\" lon=\"2\"/>"), u'.');
    for (int r = 1; r <= 2; ++r)
        for (int f : {FieldLatitude, FieldLongitude})
            EXPECT_EQ(t.field(r, f), p.field(r, f));
}

TEST(GpxRecords, TextAppendedInOnePassIsTheEscapedUtf8)
{
    // Random texts of units that matter: markup, controls, accents, other scripts,
    // surrogate pairs, lone halves, the two non-characters.
    const char16_t pool[] = {u'a', u' ', u'&', u'<', u'>', u'"', u'\'', 0x01, u'\t', u'\n', 0xE9, 0x2013, 0x256, 0x41F,
                             0x65E5, 0xD83D, 0xDE00, 0xFFFE, 0xFFFF, 0xFEFF, 0x7F, 0x80, 0x7FF, 0x800};
    QRandomGenerator rng(7);
    for (int k = 0; k < 20000; ++k) {
        QString text;
        const int length = int(rng.bounded(12));
        for (int i = 0; i < length; ++i)
            text += QChar(pool[rng.bounded(int(std::size(pool)))]);
        QByteArray appended = "x";
        AppendXmlText(appended, text);
        ASSERT_EQ(appended, "x" + XmlTextBytes(text)) << text.toStdString();
        // The plain UTF-8 that CSV fields are written with.
        QByteArray utf8 = "x";
        AppendUtf8(utf8, text);
        ASSERT_EQ(utf8, "x" + text.toUtf8()) << text.toStdString();
    }
}


TEST(GpxRead, BytesGivenBackAsTheyAreReadGiveTheSameRows)
{
    // Waypoints of a few shapes around a stretch where "<wpt" is no waypoint
    // (in a comment, in CDATA, a longer name, one never closed); a comment
    // of growing length before them moves the middle of the file, where the
    // second reader starts, across that stretch a few bytes at a time. Two
    // readers giving back the pages they leave behind read what one reader
    // keeping them reads; where the halves do not join, the reading keeps
    // nothing and asks for the bytes again.
    QByteArray waypoints;
    for (int i = 0; waypoints.size() < (9 << 17); ++i) {  // a half of more than a megabyte
        waypoints += "<wpt lat=\"" + QByteArray::number(45 + i % 7) + ".5\" lon=\"-1.25\"><ele>12</ele><name>Caf\xC3\xA9 " +
                     QByteArray::number(i) + "</name>";
        if (i % 3 == 0)
            waypoints += "<desc><![CDATA[a < b]]> &amp; " + QByteArray(i % 200, 'd') + "</desc>";
        if (i % 5 == 0)
            waypoints += "<!-- <name>not this</name> -->";
        waypoints += "</wpt>\n";
    }
    const QByteArray stretch = "<wpt lat=\"1\" lon=\"1\"><name>before</name></wpt>\n"
                               "<!-- <wpt lat=\"9\" lon=\"9\"><name>in a comment</name></wpt> -->\n"
                               "<![CDATA[<wpt lat=\"8\" lon=\"8\"><name>in CDATA</name></wpt>]]>\n"
                               "<wpts lat=\"7\" lon=\"7\"><name>longer name</name></wpts>\n"
                               "<wpt lat=\"6\" lon=\"6\"><name>never closed</name>\n"
                               "<wpt lat=\"2\" lon=\"2\"><name>after</name></wpt>\n";
    PoiTable expected;
    const ReadResult r1 = ReadGpxWithTwoReadersFrom(Gpx(waypoints + stretch + waypoints), expected, u',',
                                                    std::numeric_limits<qsizetype>::max());
    ASSERT_GT(expected.lastRow(), 10000);
    int joined = 0, again = 0;
    for (qsizetype shift = 0; shift <= 2 * stretch.size() + 40; shift += 10) {
        const QByteArray file = Gpx("<!--" + QByteArray(shift, 'c') + "-->" + waypoints + stretch + waypoints);
        QByteArray data(file.constData(), file.size());  // its own pages
        PoiTable two;
        ReadResult r2 = ReadGpxWithTwoReadersFrom(data, two, u',', 0, ReadPages::GivenBack);
        if (r2.bytesNeededAgain) {
            ++again;
            EXPECT_TRUE(two.isEmptyForAdd()) << shift;
            two = PoiTable();
            r2 = ReadGpxWithTwoReadersFrom(file, two, u',', 0);
            orvalis::testing::ExpectSameReading(r1, expected, r2, two, shift);
            continue;
        }
        ++joined;
        orvalis::testing::ExpectSameReading(r1, expected, r2, two, shift);
        // Each half's pages went as it was read.
        const QByteArrayView bytes(data);
        EXPECT_TRUE(orvalis::testing::HasZeroPage(bytes.first(bytes.size() / 2))) << shift;
        EXPECT_TRUE(orvalis::testing::HasZeroPage(bytes.sliced(bytes.size() / 2))) << shift;
    }
    EXPECT_GT(joined, 0);
    EXPECT_GT(again, 0);
}

TEST(GpxRead, WaypointTagsCountedAsASearchFindsThem)
{
    // Strings of the tag's letters and others, of every length around the
    // sixteen bytes looked at together, at every alignment: as many "<wpt" as
    // a search from each byte finds.
    QRandomGenerator rng(77);
    const char letters[] = "<<wwpt x";
    QByteArray pool(4096, ' ');
    for (char &ch : pool)
        ch = letters[rng.bounded(8)];
    for (qsizetype from = 0; from < 40; ++from) {
        for (qsizetype n = 0; n < 200; ++n) {
            const QByteArrayView bytes = QByteArrayView(pool).sliced(from * 97, n);
            qint64 expected = 0;
            for (qsizetype at = 0; (at = bytes.indexOf("<wpt", at)) >= 0; ++at)
                ++expected;
            ASSERT_EQ(CountWaypointTags(bytes), expected) << from << " " << n;
        }
    }
    // A tag that the end of the bytes cuts is none, whatever follows them.
    for (qsizetype n = 0; n < 40; ++n) {
        const QByteArray bytes = QByteArray(n, ' ') + "<wpt";
        for (qsizetype cut = 1; cut < 4; ++cut)
            ASSERT_EQ(CountWaypointTags(QByteArrayView(bytes).first(n + cut)), 0) << n << " " << cut;
        ASSERT_EQ(CountWaypointTags(bytes), 1) << n;
    }
    EXPECT_EQ(CountWaypointTags(QByteArrayView("x<wpt<wpt<wp")), 2);
    EXPECT_EQ(CountGpxWaypoints(QByteArray(20, ' ') + "<wpt"), 1);
}
