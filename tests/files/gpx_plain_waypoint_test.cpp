// Waypoints whose children are plain text fields are read in the walk that
// finds their end; every other waypoint by the general walk over its children.
// Both must give the same record, whatever the waypoint holds.
#include "files/block_reader.h"
#include "files/poi_codec.h"
#include "files/record_texts.h"
#include "support/records.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

// The records of a GPX file, their texts decoded, read from memory or from a
// pipe `block` bytes at a time (a waypoint then cut anywhere between pieces).
std::vector<PoiRecord> Records(const QByteArray &gpx, DeferTexts defer, qsizetype block = 0, ReadResult *result = nullptr)
{
    PoiRecords read;
    if (block == 0) {
        BlockReader in(gpx);
        read = ReadRecords(Codec("gpx"), in, result, nullptr, defer);
    } else {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        EXPECT_EQ(write(fds[1], gpx.constData(), size_t(gpx.size())), gpx.size());  // small: the pipe holds it
        close(fds[1]);
        BlockReader in(fds[0], block);
        read = ReadRecords(Codec("gpx"), in, result, nullptr, defer);
        close(fds[0]);
    }
    for (PoiRecord &r : read.records)
        DecodeDeferredTexts(r);
    return read.records;
}

QByteArray File(const QByteArray &waypoints, const QByteArray &head = "<?xml version=\"1.0\"?>\n")
{
    return head + "<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n" + waypoints + "\n</gpx>\n";
}

// Waypoint contents that are plain, nearly plain, or not plain at all.
const QByteArray kBodies[] = {
    "<name>Café</name><desc>l’été – 5 €</desc><sym>Flag</sym>",
    "\n  <ele>12.5</ele>\n  <time>2020-01-01T00:00:00Z</time>\n  <name>n</name>\n",
    "<name>a &amp; b &#233;&#x20AC; &bogus;</name><desc>x</desc>",
    "<name><![CDATA[x<y]]></name><desc>d</desc>",
    "<name>a<!-- c -->b</name>",
    "<!-- </wpt> --><name>after a comment</name>",
    "<name>x<b>y</b></name><desc>z</desc>",
    "<name/><desc></desc><cmt>c</cmt>",
    "<name></name><name>second</name>",
    "<name>first</name><name>second</name><desc>one</desc><desc>t&amp;wo</desc><desc>three</desc>",
    "<name>t&amp;wo</name><name>plain last</name>",
    "<gpx:name>prefixed</gpx:name><gpx:desc>too</gpx:desc>",
    "<name lang=\"fr\">with an attribute</name>",
    "<name >space before the end of the tag</name>",
    "<name>closed with a space</name ><desc>d</desc>",
    "<name>wrong end</nam><desc>d</desc>",
    "<name>never closed<desc>d</desc>",
    "<wpt>inner waypoint</wpt><name>n</name>",
    "<wptx>not a waypoint</wptx><name>n</name>",
    "<name>Fr\xE8res</name><desc>\xD0\x9C\xD0\xB5 \xE9t\xE9</desc>",
    "<name>\xC3\xA9t\xC3\xA9 \xF0\x9F\x9A\x97</name><desc>\xC2\x80 control \xC2\xA0nbsp</desc>",
    "<name>tab\tand\nnewline &lt;&gt;\"'</name>",
    "<url>http://x</url><urlname>u</urlname><name>n</name>",
    "<link href=\"http://x\"><text>t</text></link><name>n</name>",
    "<name>n</name><extensions><x:y xmlns:x=\"u\">1</x:y></extensions>",
    "<name>n</name><other>kept</other>",
    "<ele>not a number</ele><time>yesterday</time><fix>3d</fix><sat>7</sat><dgpsid>2000</dgpsid>",
    "<geoidheight>1</geoidheight><ageofdgpsdata>2</ageofdgpsdata><magvar>400</magvar><hdop>1</hdop>",
    "<name>stray < in the text</name>",
    "</name><name>n</name>",
    "<>empty name</><name>n</name>",
    "text outside <name>n</name> more text",
    "<?pi x?><name>n</name>",
    "",
    "<name>cut short at the end of the file",
};

}  // namespace

// Each body read as it stands, and once more behind a child the walk that ends
// a waypoint never reads (an empty <extensions/>), which leaves the whole
// waypoint to the general walk: the same record both ways.
TEST(GpxPlainWaypoint, ReadsAsTheGeneralWalk)
{
    for (const DeferTexts defer : {DeferTexts::No, DeferTexts::Yes, DeferTexts::AsBytes}) {
        for (const QByteArray &body : kBodies) {
            for (const QByteArray &head : {QByteArray("<?xml version=\"1.0\"?>\n"),
                                          QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n")}) {
                const QByteArray wpt = "<wpt lat=\" 48.5\" lon=\"2.25 \">" + body + "</wpt>";
                const QByteArray general = "<wpt lat=\" 48.5\" lon=\"2.25 \"><extensions/>" + body + "</wpt>";
                const QByteArray before = "<wpt lat=\"1\" lon=\"2\"><name>before</name></wpt>\n";
                const std::vector<PoiRecord> plain = Records(File(before + wpt + before, head), defer);
                const std::vector<PoiRecord> slow = Records(File(before + general + before, head), defer);
                EXPECT_EQ(plain, slow) << body.toStdString() << " (" << int(defer) << ")";
                // Cut into pieces of every small size: the same again.
                for (const qsizetype block : {1, 2, 3, 5, 7, 13, 64})
                    EXPECT_EQ(Records(File(before + wpt + before, head), defer, block), plain)
                        << body.toStdString() << " in pieces of " << block;
            }
        }
    }
}

// A waypoint cut by the end of the input is no waypoint, plain or not; the ones
// before it are kept.
TEST(GpxPlainWaypoint, CutShortByTheEndOfTheInput)
{
    const QByteArray whole = File("<wpt lat=\"1\" lon=\"2\"><name>a</name></wpt><wpt lat=\"3\" lon=\"4\"><name>b</name></wpt>");
    const qsizetype second = whole.indexOf("<wpt lat=\"3\"");
    for (qsizetype cut = second + 4; cut < whole.indexOf("</gpx>"); ++cut) {
        ReadResult result;
        const std::vector<PoiRecord> records = Records(whole.first(cut), DeferTexts::AsBytes, 0, &result);
        // Its end tag's name whole is its end.
        const bool complete = cut >= whole.indexOf("</wpt>", second) + 5;
        ASSERT_EQ(records.size(), complete ? 2u : 1u) << cut;
        EXPECT_EQ(records[0].name, QStringLiteral("a"));
        EXPECT_EQ(result.truncated, !complete) << cut;
    }
}
