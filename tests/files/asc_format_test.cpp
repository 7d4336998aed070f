#include "files/asc_format.h"
#include "files/ov2_format.h"
#include "support/records.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

struct Read {
    ReadResult result;
    std::vector<PoiRecord> records;
};

Read ReadAsc(BlockReader &in)
{
    Read r;
    ForEachAscRecord(in, [&](PoiRecord &&p) { r.records.push_back(std::move(p)); }, &r.result);
    return r;
}

Read ReadAsc(QByteArrayView bytes)
{
    BlockReader in(bytes);
    return ReadAsc(in);
}

QByteArray AscOf(const std::vector<PoiRecord> &records)
{
    QByteArray out;
    for (const PoiRecord &r : records)
        AppendAscRecord(out, r);
    return out;
}

}  // namespace

TEST(AscFiles, LinesCommentsAndQuotesAsTomTomWritesThem)
{
    const QByteArray file = "; TomTom POI file\r\n"
                            ";  longitude,  latitude, \"name\"\r\n"
                            "\r\n"
                            "   4.88396,  52.37603, \"Amsterdam\"\r\n"
                            "2.35222,48.85661,\"Le \"\"Grand\"\" Caf\xE9\"\n"
                            "\t-1.5536 ,47.2184 , Nantes sans guillemets \n"
                            "-4.4861,48.3904\n"
                            "7.75,48.58,\"Stra\xC3\x9F" "burg, Elsass\"\n"
                            "two,words,\"not a POI\"\n"
                            "  ; an indented comment\n"
                            "13.4,52.52,\"Berlin \"Mitte\"\"\n"
                            "10,53.55,\"unclosed\n"
                            "12.5,41.9,\"Roma\"";
    const Read read = ReadAsc(file);
    const std::vector<std::tuple<QByteArray, QByteArray, QString>> expected = {
        {"52.37603", "4.88396", "Amsterdam"},
        {"48.85661", "2.35222", QStringLiteral("Le \"Grand\" Café")},
        {"47.2184", "-1.5536", QStringLiteral("Nantes sans guillemets")},
        {"48.3904", "-4.4861", QString()},
        {"48.58", "7.75", QStringLiteral("Straßburg, Elsass")},
        {"52.52", "13.4", QStringLiteral("Berlin \"Mitte\"")},
        {"53.55", "10", QStringLiteral("unclosed")},
        {"41.9", "12.5", QStringLiteral("Roma")},
    };
    ASSERT_EQ(read.records.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(read.records[i].lat, std::get<0>(expected[i])) << i;
        EXPECT_EQ(read.records[i].lon, std::get<1>(expected[i])) << i;
        EXPECT_EQ(read.records[i].name, std::get<2>(expected[i])) << i;
    }
    EXPECT_EQ(read.result.counter, 8);
    EXPECT_EQ(read.result.skipped, 1);
    EXPECT_EQ(read.result.firstSkipped, 6);
}

TEST(AscFiles, AMarkedFileIsUtf8AndBlocksCutLinesAnywhere)
{
    // With the mark, bytes that would read as Windows-1252 on their own are UTF-8.
    const QByteArray marked = "\xEF\xBB\xBF" "1,2,\"\xC3\x83\xC2\xA9\"\r\n";
    EXPECT_EQ(ReadAsc(marked).records.at(0).name, QStringLiteral("Ã©"));
    EXPECT_EQ(ReadAsc(marked.sliced(3)).records.at(0).name, QStringLiteral("Ã©"));

    QByteArray file;
    for (int i = 0; i < 300; ++i)
        file += QByteArray::number(i % 180) + ".125, " + QByteArray::number(i % 90) + ".5,\"n" + QByteArray::number(i) + "\"\r\n" +
                (i % 7 == 0 ? "; comment\r\n\r\n" : "");
    const Read whole = ReadAsc(file);
    ASSERT_EQ(whole.records.size(), 300u);
    QTemporaryDir dir;
    QFile f(dir.filePath("in.asc"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();
    for (qsizetype block : {1, 2, 5, 100}) {
        const int fd = ::open(QFile::encodeName(f.fileName()).constData(), O_RDONLY);
        BlockReader in(fd, block);
        const Read r = ReadAsc(in);
        ::close(fd);
        ASSERT_EQ(r.records, whole.records) << block;
    }
}

TEST(AscFiles, WrittenLinesReadBackAsTheyWere)
{
    PoiRecord described;
    described.lat = "48.85661";
    described.lon = "2.35222";
    described.name = QStringLiteral("Radar \"fixe\"");
    described.desc = QStringLiteral("50 km/h");
    PoiRecord wide = described;
    wide.lat = "-33.5";
    wide.lon = "-70.25";
    wide.name = QStringLiteral("Αθήνα");
    wide.desc.clear();
    PoiRecord broken = wide;
    broken.name = QStringLiteral("deux\r\nlignes\nici");
    PoiRecord none = wide;
    none.lat.clear();
    QByteArray out;
    EXPECT_FALSE(AppendAscRecord(out, none));
    EXPECT_TRUE(out.isEmpty());
    out = AscOf({described, wide, broken});
    EXPECT_EQ(out, "2.35222,48.85661,\"Radar \"\"fixe\"\" - 50 km/h\"\r\n"
                   "-70.25,-33.5,\"\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1\"\r\n"
                   "-70.25,-33.5,\"deux lignes ici\"\r\n");
    const Read read = ReadAsc(out);
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[0].name, QStringLiteral("Radar \"fixe\" - 50 km/h"));
    EXPECT_EQ(read.records[1].name, QStringLiteral("Αθήνα"));
}

// OV2 to ASC and back gives the same OV2 bytes: every POI, coordinates and names exact.
TEST(AscFiles, Ov2ToAscToOv2KeepsEveryPoi)
{
    PoiTable t;
    const QStringList names = {QStringLiteral("Paris"), QStringLiteral("Café \"chez nous\""), QStringLiteral("  espaces  "),
                               QStringLiteral("\""), QString(), QStringLiteral("東京タワー"), QStringLiteral("Ã© reads as it is"),
                               QStringLiteral("x\"\"y"), QStringLiteral("; not a comment"), QStringLiteral("a,b,c")};
    t.setRowCount(int(names.size()) + 1);
    for (int r = 1; r <= names.size(); ++r) {
        t.setField(r, FieldLatitude, QString::number(-89.99999 + r * 13.5, 'f', 5));
        t.setField(r, FieldLongitude, QString::number(179.99999 - r * 31.25, 'f', 5));
        t.setField(r, FieldDescription, names[r - 1]);
    }
    const QByteArray ov2 = Ov2FileBytes(t, 1, t.lastRow(), u'.');
    const PoiRecords records = ReadRecords(Codec("ov2"), ov2);
    ASSERT_EQ(records.records.size(), size_t(names.size()));
    const QByteArray asc = RecordBytes(Codec("asc"), records);
    EXPECT_EQ(asc, AscOf(records.records));
    const Read back = ReadAsc(asc);
    ASSERT_EQ(back.result.skipped, 0);
    EXPECT_EQ(back.records, records.records);
    EXPECT_EQ(RecordBytes(Codec("ov2"), ReadRecords(Codec("asc"), asc)), ov2);
}
