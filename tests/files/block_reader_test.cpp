// Reading in blocks must give what reading the whole file gives, wherever the
// blocks cut it, and must not hold more than the record being read.
#include "files/block_reader.h"
#include "support/real_world.h"
#include "support/records.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

using Namespaces = std::vector<std::pair<QByteArray, QByteArray>>;

struct Read {
    std::vector<PoiRecord> records;
    Namespaces namespaces;
    ReadResult result;
    bool ok = true;
    bool operator==(const Read &o) const
    {
        return records == o.records && namespaces == o.namespaces && result.counter == o.result.counter &&
               result.truncated == o.result.truncated && result.skipped == o.result.skipped &&
               result.unknownBytes == o.result.unknownBytes && ok == o.ok;
    }
};

Read ReadFrom(const PoiCodec &codec, BlockReader &in)
{
    Read out;
    PoiRecords read = ReadRecords(codec, in, &out.result, &out.ok);
    out.records = std::move(read.records);
    out.namespaces = std::move(read.namespaces);
    return out;
}

Read ReadWhole(const PoiCodec &kind, const QByteArray &bytes)
{
    BlockReader in{QByteArrayView(bytes)};
    return ReadFrom(kind, in);
}

// The bytes through a pipe fed by another thread, read `block` bytes at a time.
Read ReadPiped(const PoiCodec &kind, const QByteArray &bytes, qsizetype block)
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = write(fds[1], bytes.constData() + at, size_t(std::min<qsizetype>(bytes.size() - at, 1000)));
            if (n <= 0)
                break;
            at += n;
        }
        close(fds[1]);
    });
    BlockReader in(fds[0], block);
    Read out = ReadFrom(kind, in);
    writer.join();
    close(fds[0]);
    return out;
}

QByteArray FileData(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ExpectSameInEveryCut(const PoiCodec &kind, const QByteArray &bytes, const std::string &what)
{
    const Read whole = ReadWhole(kind, bytes);
    for (const qsizetype block : {1, 2, 3, 5, 16, 61, 4096})
        EXPECT_TRUE(ReadPiped(kind, bytes, block) == whole) << what << ", blocks of " << block;
}

}  // namespace

TEST(BlockReader, EveryFormatReadsTheSameWhereverTheBlocksCut)
{
    // Past the first kilobytes (read whole before any record), so that the blocks cut everything.
    QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" xmlns:x=\"urn:x\">\n";
    for (int i = 0; i < 30; ++i)
        gpx += "<!-- a waypoint in a comment: <wpt lat=\"9\" lon=\"9\"/> -->\n"
               "<wpt lat=\"48.1\" lon=\"-2.5\"><ele>12</ele><name>Brest &amp; co</name><desc><![CDATA[<b>port</b>]]></desc>"
               "<link href=\"http://a/\"><text>a</text></link><sym>Flag</sym><extensions><x:a>1</x:a></extensions></wpt>\n"
               "<![CDATA[and in CDATA: <wpt lat=\"8\" lon=\"8\"/>]]>"
               "<wpt lat=\"-89.99999\" lon=\"179.99999\"/>"
               "<rte><rtept lat=\"1\" lon=\"1\"><name>not a POI</name></rtept></rte>"
               "<wpt lat=\"0\" lon=\"0\"><name>Москва 😀</name><cmt>é</cmt></wpt>";
    gpx += "</gpx>\n";
    ExpectSameInEveryCut(Codec("gpx"), gpx, "GPX");
    EXPECT_EQ(ReadWhole(Codec("gpx"), gpx).records.size(), 90u);
    EXPECT_TRUE(ReadWhole(Codec("gpx"), gpx).result.routePoints);
    // Cut short in a waypoint, and a waypoint never closed.
    ExpectSameInEveryCut(Codec("gpx"), gpx.left(gpx.indexOf("<sym>")), "GPX cut short");
    ExpectSameInEveryCut(Codec("gpx"), "<gpx><wpt lat=\"1\" lon=\"2\"><name>open", "GPX never closed");

    // UTF-16 with its mark: decoded across blocks, two bytes a character.
    QByteArray utf16("\xFF\xFE");
    const QString text = QString::fromUtf8("<?xml version=\"1.0\" encoding=\"UTF-16\"?><gpx>" + QByteArray(5000, ' ') +
                                           "<wpt lat=\"1\" lon=\"2\"><name>Łódź 😀</name></wpt></gpx>");
    utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    ExpectSameInEveryCut(Codec("gpx"), utf16, "UTF-16 GPX");
    EXPECT_EQ(ReadWhole(Codec("gpx"), utf16).records.at(0).name, QString::fromUtf8("Łódź 😀"));

    const QByteArray kml = "<kml><Document>" + QByteArray(5000, ' ') + "<!-- not a place: <Placemark> --><Placemark><name>A</name><ExtendedData><Data name=\"k\"><value>v</value></Data>"
                           "</ExtendedData><Point><coordinates>2.5,48.1,30</coordinates></Point></Placemark>"
                           "<Placemark><name>B</name><Point><coordinates>-1,-2</coordinates></Point></Placemark></Document></kml>";
    ExpectSameInEveryCut(Codec("kml"), kml, "KML");
    EXPECT_EQ(ReadWhole(Codec("kml"), kml).records.size(), 2u);

    // OV2: skipper, deleted, simple, extended records; then cut in the last one.
    QByteArray ov2;
    auto u32 = [](uint32_t v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
    ov2 += '\x01' + u32(21 + 40) + u32(1) + u32(2) + u32(3) + u32(4);
    ov2 += '\x00' + u32(10) + QByteArray(5, 'x');
    ov2 += '\x02' + u32(13 + 6) + u32(uint32_t(-17999999)) + u32(4812345) + QByteArray("Brest", 6);
    ov2 += '\x03' + u32(20) + QByteArray(15, 'y');
    ov2 += '\x02' + u32(13 + 5) + u32(100) + u32(200) + QByteArray("Caf\xE9", 5);
    ExpectSameInEveryCut(Codec("ov2"), ov2, "OV2");
    EXPECT_EQ(ReadWhole(Codec("ov2"), ov2).records.size(), 2u);
    ov2 += '\x02' + u32(13 + 5) + u32(100) + u32(200) + QByteArray("Caf\xE9", 5);
    ExpectSameInEveryCut(Codec("ov2"), ov2, "OV2 with a last POI");
    EXPECT_EQ(ReadWhole(Codec("ov2"), ov2).records.size(), 3u);
    for (const int cut : {1, 5, 9, 13, 15})
        ExpectSameInEveryCut(Codec("ov2"), ov2.chopped(cut), "OV2 cut by " + std::to_string(cut));
    ExpectSameInEveryCut(Codec("ov2"), "\x05\x06" + ov2 + "\x07", "OV2 with stray bytes");
}

TEST(BlockReader, CsvAndGeoJsonReadTheSameInBlocks)
{
    // A header, quoted fields with the delimiter, quotes and line ends, CRLF, a mark.
    QByteArray csv = "\xEF\xBB\xBFlatitude,longitude,name,note\r\n";
    for (int i = 0; i < 100; ++i)
        csv += "48.8566,2.3522,\"Caf\xC3\xA9, \"\"Le\"\" Bar\",\"two\r\nlines\"\r\n\r\n-33.9,151.2,Sydney,\r\n";
    ExpectSameInEveryCut(Codec("csv"), csv, "CSV");
    const Read read = ReadWhole(Codec("csv"), csv);
    ASSERT_EQ(read.records.size(), 200u);
    EXPECT_EQ(read.records[0].name, QString::fromUtf8("Café, \"Le\" Bar"));
    EXPECT_EQ(read.records[0].properties.at(0).json, QByteArray("\"two\\r\\nlines\""));

    // Headerless: the layout decided by a record far down (a longitude beyond 90
    // in the second column), the records before it read in that layout too.
    QByteArray headerless;
    for (int i = 0; i < 3000; ++i)
        headerless += "45.5,-73.5,Montr\xE9" "al\n";
    headerless += "-33.9,151.2,Sydney\n";
    ExpectSameInEveryCut(Codec("csv"), headerless, "headerless CSV");
    const Read layout = ReadWhole(Codec("csv"), headerless);
    ASSERT_EQ(layout.records.size(), 3001u);
    EXPECT_EQ(layout.records[0].lat, QByteArray("45.5"));
    EXPECT_EQ(layout.records[0].name, QString::fromUtf8("Montréal"));
    EXPECT_EQ(layout.records[3000].lon, QByteArray("151.2"));

    // Blank lines before the records that decide the separator: the same
    // separator whether the head came in one piece or in many.
    const QByteArray blanks = "48.5;2.5,x\n" + QByteArray(30, '\n') + QByteArray("48.5;2.5;Paris\n").repeated(5);
    ExpectSameInEveryCut(Codec("csv"), blanks, "CSV after blank lines");
    EXPECT_EQ(ReadWhole(Codec("csv"), blanks).records.size(), 5u);

    // GeoJSON: strings with braces and escaped quotes, nested properties, the
    // root's type after its features, a feature that is no point.
    QByteArray json = "\xEF\xBB\xBF{\"name\":\"a } ] \\\" [ {\",\"features\": [";
    for (int i = 0; i < 50; ++i)
        json += QByteArray(i ? "," : "") +
                "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[2.35,48.85,35]},"
                "\"properties\":{\"name\":\"Paris \\\"}\\\"\",\"tags\":{\"a\":[1,{\"b\":\"]\"}]}}},"
                "{\"type\":\"Feature\",\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[0,0],[1,1]]},\"properties\":{}}";
    json += "],\"type\":\"FeatureCollection\"}";
    ExpectSameInEveryCut(Codec("geojson"), json, "GeoJSON");
    const Read features = ReadWhole(Codec("geojson"), json);
    ASSERT_TRUE(features.ok);
    ASSERT_EQ(features.records.size(), 50u);
    EXPECT_EQ(features.records[0].name, QString::fromUtf8("Paris \"}\""));
    EXPECT_EQ(features.records[0].ele, QStringLiteral("35"));
    EXPECT_EQ(features.records[0].properties.at(0).json, QByteArray("{\"a\":[1,{\"b\":\"]\"}]}"));
    // A single feature, read whole; a collection cut short or of another type is no GeoJSON.
    const QByteArray single = "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[1,2]},\"properties\":{\"name\":\"x\"}}";
    ExpectSameInEveryCut(Codec("geojson"), single, "a Feature");
    EXPECT_EQ(ReadWhole(Codec("geojson"), single).records.size(), 1u);
    EXPECT_FALSE(ReadWhole(Codec("geojson"), json.chopped(2)).ok);
    EXPECT_FALSE(ReadWhole(Codec("geojson"), QByteArray(json).replace("\"FeatureCollection\"", "\"Topology\"")).ok);
    EXPECT_FALSE(ReadWhole(Codec("geojson"), "[1,2]").ok);
}

TEST(BlockReader, RealFilesReadTheSameInBlocks)
{
    REQUIRE_REAL_WORLD_FILES();
    const QDir dir(QStringLiteral(ORVALIS_SHARED_DATA "/real-world"));
    for (const QString &name : dir.entryList({QStringLiteral("*.gpx"), QStringLiteral("*.ov2")}, QDir::Files)) {
        const QByteArray bytes = FileData(dir.filePath(name));
        const PoiCodec &kind = Codec(name.endsWith(u".ov2") ? "ov2" : "gpx");
        const Read whole = ReadWhole(kind, bytes);
        EXPECT_FALSE(whole.records.empty()) << name.toStdString();
        for (const qsizetype block : {7, 4096})
            EXPECT_TRUE(ReadPiped(kind, bytes, block) == whole) << name.toStdString() << ", blocks of " << block;
    }
}

TEST(BlockReader, HoldsOneRecordWhateverTheInputLength)
{
    // 20 MB of waypoints through a pipe, read in 64 KiB blocks: what is held stays near a block.
    QByteArray waypoint;
    for (int i = 0; i < 200; ++i)
        waypoint += "<wpt lat=\"48.5\" lon=\"2.25\"><name>point</name><desc>" + QByteArray(40, 'd') + "</desc></wpt>\n";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        const QByteArray head = "<gpx>";
        [[maybe_unused]] ssize_t n = write(fds[1], head.constData(), size_t(head.size()));
        for (int i = 0; i < 1000; ++i)
            if (write(fds[1], waypoint.constData(), size_t(waypoint.size())) != waypoint.size())
                break;
        close(fds[1]);
    });
    BlockReader in(fds[0], 65536);
    qsizetype most = 0;
    int count = 0;
    Codec("gpx").readRecords(in, [&](PoiRecord &&) {
        ++count;
        most = std::max(most, in.held());
    }, nullptr);
    writer.join();
    close(fds[0]);
    EXPECT_EQ(count, 200 * 1000);
    EXPECT_LE(most, 2 * 65536 + 1024);

    // A waypoint that never ends stops at the longest record instead of taking the memory.
    signal(SIGPIPE, SIG_IGN);  // the writer learns of the end by EPIPE
    ASSERT_EQ(pipe(fds), 0);
    std::thread endless([&] {
        QByteArray chunk = "<gpx><wpt lat=\"1\" lon=\"2\"><name>";
        chunk += QByteArray(100000, 'y');
        for (int i = 0; i < 100; ++i) {
            if (write(fds[1], chunk.constData(), size_t(chunk.size())) != chunk.size())
                break;
            chunk.fill('y');
        }
        close(fds[1]);
    });
    BlockReader endlessIn(fds[0], 65536);
    endlessIn.setLongestRecord(1 << 20);
    Codec("gpx").readRecords(endlessIn, [](PoiRecord &&) {}, nullptr);
    close(fds[0]);
    endless.join();
    EXPECT_TRUE(endlessIn.tooLong());
    EXPECT_LT(endlessIn.held(), 3 << 20);
}

TEST(BlockReader, APipeFillsWholeBlocks)
{
    // A pipe hands over 64 KiB at a time; a read that stopped there would scan
    // a record of many blocks once per 64 KiB (100 MB of commas: minutes).
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const QByteArray data(3 << 20, ',');
    std::thread writer([&] {
        for (qsizetype at = 0; at < data.size(); at += 1000)
            if (write(fds[1], data.constData() + at, size_t(std::min<qsizetype>(1000, data.size() - at))) <= 0)
                break;
        close(fds[1]);
    });
    BlockReader in(fds[0]);
    EXPECT_TRUE(in.more());
    EXPECT_EQ(in.held(), BlockReader::kBlock);
    while (in.more()) {
    }
    EXPECT_EQ(in.held(), data.size());
    writer.join();
    close(fds[0]);
}

TEST(BlockReader, AQuoteInsideACsvFieldIsText)
{
    // Found by fuzzing: a quote after the start of a field stopped the reader in a loop.
    const Read read = ReadWhole(Codec("csv"), "lat,lon,name\n48.5,2.5,Caf\xC3\xA9 \"Le Bar\"\n\xA2\"<");
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0].name, QString::fromUtf8("Café \"Le Bar\""));
    ExpectSameInEveryCut(Codec("csv"), "12,3\"4,x\"y\n5,6,\"q\"\"r\"s\n", "quotes inside fields");
}

TEST(BlockReader, TheRootIsFoundAsInTheWholeFile)
{
    // Found by fuzzing: a first "<gpx" that is no root, the real one further on.
    const QByteArray gpx = "<gpx[x</name>" + QByteArray(6000, ' ') + "<gpx><wpt lat=\"1\" lon=\"2\"><name>A</name></wpt></gpx>";
    ExpectSameInEveryCut(Codec("gpx"), gpx, "a late root");
    EXPECT_EQ(ReadWhole(Codec("gpx"), gpx).records.size(), 1u);
}

TEST(BlockReader, StopsAtTheLongestRecordAndNotABlockLater)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], QByteArray(64, 'x').constData(), 64), 64);
    close(fds[1]);
    BlockReader in(fds[0], 4);
    in.setLongestRecord(8);
    EXPECT_TRUE(in.more());
    EXPECT_TRUE(in.more());
    // Eight bytes held, the most a record may take: no more is read.
    EXPECT_FALSE(in.more());
    EXPECT_TRUE(in.tooLong());
    EXPECT_EQ(in.held(), 8);
    EXPECT_FALSE(in.failed());
    close(fds[0]);
}

TEST(BlockReader, AReadErrorIsAFailureNotAnEnd)
{
    // A folder opens but cannot be read: the reading fails, it does not end.
    const int folder = ::open(QFile::encodeName(QDir::tempPath()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    BlockReader in(folder);
    EXPECT_FALSE(in.more());
    EXPECT_TRUE(in.atEnd());
    EXPECT_TRUE(in.failed());
    close(folder);
    // The end of a pipe is no failure.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[1]);
    BlockReader empty(fds[0]);
    EXPECT_FALSE(empty.more());
    EXPECT_FALSE(empty.failed());
    close(fds[0]);
}

TEST(BlockReader, CountsEveryByteThatCameIn)
{
    // What came in, whatever was consumed or transcoded since: a reader tells an empty input from another file by it.
    const QByteArray data = QByteArray("\xFF\xFE", 2) + QByteArray(10001, 'a');
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        [[maybe_unused]] const ssize_t n = write(fds[1], data.constData(), size_t(data.size()));
        close(fds[1]);
    });
    BlockReader in(fds[0], 1000);
    in.fill(2);
    in.consume(2);
    in.transcode([](QByteArrayView bytes) { return bytes.toByteArray().repeated(2); });
    while (in.more())
        in.consume(in.held() / 2);
    writer.join();
    close(fds[0]);
    EXPECT_EQ(in.bytesRead(), data.size());
    EXPECT_EQ(BlockReader(QByteArrayView(data)).bytesRead(), data.size());
}

TEST(BlockReader, InputCopiedForAFormatThatSeeks)
{
    // A pipe cannot seek: its bytes go to a temporary file, read from the start.
    QByteArray data;
    for (int i = 0; i < 300000; ++i)
        data += char('a' + i % 26);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        for (qsizetype at = 0; at < data.size(); at += 4096)
            if (write(fds[1], data.constData() + at, size_t(std::min<qsizetype>(4096, data.size() - at))) <= 0)
                break;
        close(fds[1]);
    });
    const int copy = SeekableCopy(fds[0]);
    writer.join();
    close(fds[0]);
    ASSERT_GE(copy, 0);
    EXPECT_EQ(lseek(copy, 0, SEEK_END), data.size());
    ASSERT_EQ(lseek(copy, 0, SEEK_SET), 0);
    BlockReader in(copy);
    while (in.more()) {
    }
    EXPECT_EQ(in.view(), data);
    EXPECT_EQ(in.descriptor(), copy);
    close(copy);
    // A folder cannot be copied: no copy, and errno says why.
    const int folder = ::open(QFile::encodeName(QDir::tempPath()).constData(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(SeekableCopy(folder), -1);
    EXPECT_EQ(errno, EISDIR);
    close(folder);
}
