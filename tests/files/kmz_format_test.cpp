#include "files/kmz_format.h"
#include "support/records.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>
#include <zip.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

const QDateTime kMade(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);

QByteArray KmzOf(const std::vector<PoiRecord> &records)
{
    KmzWriter writer(kMade);
    for (const PoiRecord &r : records)
        writer.append(r);
    QByteArray out;
    EXPECT_EQ(writer.finish([&](QByteArray &b) { out += b; b.clear(); },
                            [&](qint64 at, const QByteArray &b) { out.replace(qsizetype(at), b.size(), b); }),
              KmzWriter::Finish::Ok);
    return out;
}

struct Read {
    KmzRead status = KmzRead::Ok;
    std::vector<PoiRecord> records;
};

// Through a file a block at a time, as orvalis-cli reads.
Read ReadKmz(const QByteArray &archive, const KmzLimits &limits = {})
{
    QTemporaryDir dir;
    QFile f(dir.filePath("in.kmz"));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(archive) == archive.size());
    f.close();
    const int fd = ::open(QFile::encodeName(f.fileName()).constData(), O_RDONLY);
    BlockReader in(fd, 4096);
    Read r;
    r.status = ForEachKmzRecord(in, [&](PoiRecord &&p) { r.records.push_back(std::move(p)); }, {}, DeferTexts::No, limits);
    ::close(fd);
    return r;
}

// An archive of these files, in this order, as other programs make them (libzip on its own).
QByteArray Archive(const std::vector<std::pair<const char *, QByteArray>> &files, zip_int32_t method = ZIP_CM_DEFLATE)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("a.zip"));
    int error = 0;
    zip_t *zip = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    std::vector<QByteArray> kept;
    for (const auto &[name, bytes] : files) {
        kept.push_back(bytes);
        zip_source_t *s = zip_source_buffer(zip, kept.back().constData(), zip_uint64_t(kept.back().size()), 0);
        const zip_int64_t i = zip_file_add(zip, name, s, 0);
        zip_set_file_compression(zip, zip_uint64_t(i), method, 0);
    }
    zip_close(zip);
    QFile f(dir.filePath("a.zip"));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray Kml(const char *name)
{
    return QByteArray("<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><Placemark><name>") + name +
           "</name><Point><coordinates>2.5,48.5</coordinates></Point></Placemark></Document></kml>";
}

std::vector<PoiRecord> Sample()
{
    const QByteArray gpx =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        "<wpt lat=\"48.856610\" lon=\"2.352220\"><ele>35.5</ele><time>2024-05-01T12:00:00Z</time><name>Paris &amp; co</name>"
        "<cmt>un commentaire</cmt><desc>une &lt;description&gt;</desc><src>moi</src><sym>Flag</sym><type>radar</type></wpt>\n"
        "<wpt lat=\"-33.5\" lon=\"-70.25\"><name>Αθήνα 😀</name></wpt>\n"
        "<wpt lat=\"0\" lon=\"180\"><name></name></wpt>\n"
        "</gpx>\n";
    std::vector<PoiRecord> records = ReadRecords(Codec("gpx"), gpx).records;
    records[1].properties.push_back({QStringLiteral("proximity"), "300"});
    return records;
}

}  // namespace

// GPX to KMZ to GPX: every POI, with all a KML keeps, and the same GPX as through a KML file.
TEST(KmzFiles, GpxToKmzToGpxKeepsEveryPoi)
{
    const std::vector<PoiRecord> in = Sample();
    const QByteArray archive = KmzOf(in);
    EXPECT_TRUE(LooksLikeZip(archive));
    const PoiRecords throughKml = ReadRecords(Codec("kml"), RecordBytes(Codec("kml"), {in, {}}));
    const Read read = ReadKmz(archive);
    ASSERT_EQ(read.status, KmzRead::Ok);
    ASSERT_EQ(read.records.size(), in.size());
    EXPECT_EQ(read.records, throughKml.records);
    EXPECT_EQ(read.records[0].name, QStringLiteral("Paris & co"));
    EXPECT_EQ(read.records[0].desc, QStringLiteral("une <description>"));
    EXPECT_EQ(read.records[0].ele, QStringLiteral("35.5"));
    EXPECT_EQ(read.records[1].name, QStringLiteral("Αθήνα 😀"));
    EXPECT_EQ(RecordBytes(Codec("gpx"), {read.records, {}}), RecordBytes(Codec("gpx"), throughKml));
    // The same through the codec, as the commands write and read.
    EXPECT_EQ(ReadRecords(Codec("kmz"), RecordBytes(Codec("kmz"), {in, {}})).records, throughKml.records);
    // The archive: doc.kml alone, deflated, holding what the KML writer writes, dated as asked.
    QByteArray kml;
    ASSERT_EQ(InflateKmzKml(archive, &kml), KmzRead::Ok);
    EXPECT_EQ(kml, RecordBytes(Codec("kml"), {in, {}}));
    zip_source_t *source = zip_source_buffer_create(archive.constData(), zip_uint64_t(archive.size()), 0, nullptr);
    zip_t *zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, nullptr);
    ASSERT_TRUE(zip);
    EXPECT_EQ(zip_get_num_entries(zip, 0), 1);
    zip_stat_t st;
    ASSERT_EQ(zip_stat_index(zip, 0, 0, &st), 0);
    EXPECT_STREQ(st.name, "doc.kml");
    EXPECT_EQ(st.comp_method, ZIP_CM_DEFLATE);
    EXPECT_LT(st.comp_size, st.size);
    EXPECT_EQ(st.mtime, time_t(kMade.toSecsSinceEpoch()));
    zip_discard(zip);
}

TEST(KmzFiles, TheKmlOtherProgramsPutInside)
{
    const QByteArray png("\x89PNG\r\n\x1a\n", 8);
    // doc.kml wherever it stands among the files.
    QByteArray kml;
    EXPECT_EQ(InflateKmzKml(Archive({{"files/icon.png", png}, {"other.kml", Kml("other")}, {"doc.kml", Kml("doc")}}), &kml), KmzRead::Ok);
    EXPECT_EQ(kml, Kml("doc"));
    // Else the first .kml at the top level, case ignored; stored (not deflated) too.
    EXPECT_EQ(InflateKmzKml(Archive({{"sub/deep.kml", Kml("deep")}, {"Places.KML", Kml("places")}, {"b.kml", Kml("b")}}, ZIP_CM_STORE), &kml),
              KmzRead::Ok);
    EXPECT_EQ(kml, Kml("places"));
    const Read read = ReadKmz(Archive({{"images/a.png", png}, {"Places.kml", Kml("places")}}));
    ASSERT_EQ(read.status, KmzRead::Ok);
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0].name, QStringLiteral("places"));
    EXPECT_EQ(read.records[0].lat, "48.5");
    // Nothing to read.
    EXPECT_EQ(InflateKmzKml(Archive({{"sub/doc.kml", Kml("deep")}, {"a.png", png}}), &kml), KmzRead::NoKml);
    EXPECT_EQ(ReadKmz(Archive({{"doc.kml", "<html>no kml here</html>"}})).status, KmzRead::NotKml);
    EXPECT_EQ(InflateKmzKml("PK\x03\x04 but nothing else", &kml), KmzRead::NotZip);
    EXPECT_EQ(ReadKmz("<kml>not zipped</kml>").status, KmzRead::NotZip);
    EXPECT_EQ(ReadKmz({}).status, KmzRead::NotZip);
}

// Zip bombs and archives whose numbers lie stop at the limits, in memory and in files.
TEST(KmzFiles, BombsStopAtTheLimits)
{
    QByteArray big = QByteArray("<kml><Document>") + QByteArray(8 << 20, ' ') + "</Document></kml>";
    const QByteArray bomb = Archive({{"doc.kml", big}});
    ASSERT_LT(bomb.size(), 64 << 10);
    KmzLimits small;
    small.freeBytes = 1 << 20;  // then at most 100 times the archive
    QByteArray kml;
    EXPECT_EQ(InflateKmzKml(bomb, &kml, small), KmzRead::TooLarge);
    EXPECT_EQ(ReadKmz(bomb, small).status, KmzRead::TooLarge);
    small.freeBytes = 64 << 20;
    small.kmlBytes = 4 << 20;
    EXPECT_EQ(InflateKmzKml(bomb, &kml, small), KmzRead::TooLarge);
    EXPECT_EQ(ReadKmz(bomb, {}).status, KmzRead::Ok);  // within the defaults: an empty document
    // An archive past its own limit.
    small = {};
    small.archiveBytes = bomb.size() - 1;
    EXPECT_EQ(InflateKmzKml(bomb, &kml, small), KmzRead::TooLarge);
    EXPECT_EQ(ReadKmz(bomb, small).status, KmzRead::TooLarge);
    // A directory that claims more files than a KMZ holds, as a zip end record says it and as a zip64 one does.
    QByteArray many = Archive({{"doc.kml", Kml("a")}});
    const qsizetype end = many.lastIndexOf("PK\x05\x06");
    small = {};
    small.entries = 10;
    many[end + 8] = many[end + 10] = 11;
    EXPECT_EQ(InflateKmzKml(many, &kml, small), KmzRead::TooLarge);
    EXPECT_EQ(ReadKmz(many, small).status, KmzRead::TooLarge);
    const auto le = [](uint64_t v, int bytes) {
        QByteArray b;
        for (int i = 0; i < bytes; ++i)
            b += char((v >> (8 * i)) & 0xFF);
        return b;
    };
    QByteArray zip64 = Archive({{"doc.kml", Kml("a")}});
    const qsizetype end64 = zip64.lastIndexOf("PK\x05\x06");
    const QByteArray record = "PK\x06\x06" + le(44, 8) + le(45, 2) + le(45, 2) + le(0, 4) + le(0, 4) + le(1000000000, 8) +
                              le(1000000000, 8) + zip64.sliced(end64 + 12, 4) + le(0, 4) + zip64.sliced(end64 + 16, 4) + le(0, 4);
    zip64.insert(end64, record + "PK\x06\x07" + le(0, 4) + le(uint64_t(end64), 8) + le(1, 4));
    zip64.replace(end64 + 76 + 8, 4, QByteArray(4, char(0xFF)));
    EXPECT_EQ(InflateKmzKml(zip64, &kml), KmzRead::TooLarge);
    EXPECT_EQ(ReadKmz(zip64).status, KmzRead::TooLarge);
    // Sizes in the headers that lie: what is inflated counts, not what they say.
    QByteArray lying = Archive({{"doc.kml", Kml("lying")}});
    const qsizetype directory = lying.indexOf("PK\x01\x02");
    ASSERT_GT(directory, 0);
    lying.replace(directory + 24, 4, QByteArray("\x05\x00\x00\x00", 4));  // the uncompressed size it says
    const KmzRead status = InflateKmzKml(lying, &kml);
    EXPECT_TRUE(status == KmzRead::Damaged || (status == KmzRead::Ok && kml == Kml("lying"))) << int(status);
}

TEST(KmzFiles, DamageNeverReadsPastTheArchive)
{
    const QByteArray archive = KmzOf(Sample());
    QByteArray kml;
    for (qsizetype n = 0; n < archive.size(); ++n) {
        const QByteArray cut = archive.first(n);
        const KmzRead status = InflateKmzKml(cut, &kml);
        ASSERT_NE(status, KmzRead::Ok) << n;
    }
    // A byte of the deflated KML changed: its check sum or its inflation fails.
    const auto u16 = [&](qsizetype at) { return qsizetype(uint8_t(archive[at])) | qsizetype(uint8_t(archive[at + 1])) << 8; };
    const qsizetype data = 30 + u16(26) + u16(28);  // past the local header, the name and its extra fields
    for (qsizetype at = data; at < data + 40; ++at) {
        QByteArray bad = archive;
        bad[at] = char(bad[at] ^ 0x5A);
        EXPECT_EQ(InflateKmzKml(bad, &kml), KmzRead::Damaged) << at;
    }
}

TEST(KmzFiles, WrittenThroughAnOutputThatTakesPiecesAndFails)
{
    // Names that do not deflate much: the archive outgrows the writer's buffer.
    std::vector<PoiRecord> many;
    QRandomGenerator random(36);
    for (int i = 0; i < 20000; ++i) {
        PoiRecord r = Sample()[0];
        QByteArray name(96, Qt::Uninitialized);
        for (char &c : name)
            c = char('0' + random.bounded(64));
        r.name = QString::fromLatin1(name);
        many.push_back(r);
    }
    // Appended in pieces, the local header written again at the start.
    QByteArray out;
    int writes = 0, rewrites = 0;
    KmzWriter writer(kMade);
    for (const PoiRecord &r : many)
        ASSERT_TRUE(writer.append(r));
    PoiRecord none;
    EXPECT_FALSE(writer.append(none));
    EXPECT_EQ(writer.count(), 20000);
    ASSERT_EQ(writer.finish([&](QByteArray &b) { out += b; ++writes; },
                            [&](qint64 at, const QByteArray &b) {
                                ++rewrites;
                                ASSERT_LE(at + b.size(), out.size());
                                out.replace(qsizetype(at), b.size(), b);
                            }),
              KmzWriter::Finish::Ok);
    EXPECT_GE(rewrites, 1);
    const Read read = ReadKmz(out);
    ASSERT_EQ(read.status, KmzRead::Ok);
    ASSERT_EQ(read.records.size(), many.size());
    EXPECT_EQ(read.records.back().name, many.back().name);
    // An output that fails: its failure comes out of finish, after libzip is done.
    KmzWriter failing(kMade);
    failing.append(Sample()[0]);
    EXPECT_THROW(failing.finish([](QByteArray &) { throw std::runtime_error("disk full"); }, [](qint64, const QByteArray &) {}),
                 std::runtime_error);
}
