#include "files/gpi_format.h"
#include "files/gpi_layout.h"
#include "files/gpx_format.h"
#include "support/gpi_builder.h"
#include "support/gpsbabel.h"
#include "support/guarded_bytes.h"
#include "support/records.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QFile>
#include <cmath>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace orvalis;
using namespace orvalis::testing;
namespace b = orvalis::testing::gpi;

namespace {

struct Read {
    GpiRead status = GpiRead::Ok;
    ReadResult result;
    int codePage = 0;
    std::vector<PoiRecord> records;
};

Read ReadBytes(QByteArrayView bytes)
{
    Read r;
    BlockReader in(bytes);
    r.status = ForEachGpiRecord(in, [&](PoiRecord &&p) { r.records.push_back(std::move(p)); }, &r.result, {}, &r.codePage);
    return r;
}

const QDateTime kMade(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);

QByteArray Written(const std::vector<PoiRecord> &records, GpiWriteOptions options = {}, GpiWriter::Finish *finish = nullptr,
                   int *cut = nullptr)
{
    if (options.category.isEmpty())
        options.category = QStringLiteral("Radars fixes");
    options.created = kMade;
    GpiWriter writer(options);
    for (const PoiRecord &r : records)
        writer.append(r);
    QByteArray out;
    const GpiWriter::Finish f = writer.finish([&](QByteArray &b) {
        out += b;
        b.clear();
    });
    if (finish)
        *finish = f;
    if (cut)
        *cut = writer.textsCut();
    return out;
}

PoiRecord Poi(const char *lat, const char *lon, const QString &name, std::vector<PoiProperty> properties = {})
{
    PoiRecord r;
    r.lat = lat;
    r.lon = lon;
    r.name = name;
    r.properties = std::move(properties);
    return r;
}

PoiProperty Text(const char *key, const QString &value)
{
    return {QString::fromLatin1(key), JsonStringOf(value)};
}

PoiProperty Number(const char *key, const char *value)
{
    return {QString::fromLatin1(key), value};
}

QString Property(const PoiRecord &r, const char *key)
{
    for (const PoiProperty &p : r.properties)
        if (p.key == QLatin1String(key))
            return PropertyText(p.json);
    return {};
}

// Metres along a meridian for a difference in degrees, on the program's sphere.
double Metres(long double degrees)
{
    return std::fabs(static_cast<double>(degrees)) * 6378138.0 * M_PI / 180.0;
}

// What GPSBabel reads from the file at `path`, against what we read from it:
// texts, alert, address and phone alike, coordinates to the same unit.
void ExpectReadAsGpsBabelReadsIt(const QString &path, const std::vector<PoiRecord> &ours)
{
    const auto csv = RunGpsBabel({"-i", "garmin_gpi", "-f", path, "-o", "unicsv", "-F", "-"});
    const auto gpx = RunGpsBabel({"-i", "garmin_gpi", "-f", path, "-o", "gpx", "-F", "-"});
    ASSERT_TRUE(csv && gpx);
    auto rows = UnicsvRows(*csv);
    const PoiRecords theirs = ReadRecords(Codec("gpx"), *gpx);
    ASSERT_EQ(rows.size(), ours.size());
    ASSERT_EQ(theirs.records.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        const PoiRecord &o = ours[i];
        // GPSBabel puts a POI's speed after its name ("Café@50"), unless the name ends so already,
        // and gives a POI without a comment its name as one.
        const QString speed = Property(o, "speed");
        const QString name = speed.isEmpty() || o.name.endsWith(u'@' + speed) ? o.name : o.name + u'@' + speed;
        EXPECT_EQ(rows[i]["Name"], name) << i;
        EXPECT_EQ(rows[i]["Description"], o.cmt.isEmpty() ? o.name : o.cmt) << i;
        EXPECT_EQ(rows[i]["Notes"], o.desc) << i;
        const std::pair<const char *, const char *> columns[] = {{"Proximity", "proximity"}, {"Address", "street"}, {"City", "city"},
                                                                 {"State", "state"}, {"Country", "country"}, {"PostalCode", "postal_code"},
                                                                 {"Phone", "phone"}};
        for (const auto &[column, key] : columns)
            EXPECT_EQ(rows[i][QString::fromLatin1(column)], Property(o, key)) << i << ' ' << key;
        // Their nine decimals and our shortest text stand for the same unit.
        EXPECT_EQ(orvalis::gpi::UnitsOfDegrees(theirs.records[i].lat), orvalis::gpi::UnitsOfDegrees(o.lat)) << i;
        EXPECT_EQ(orvalis::gpi::UnitsOfDegrees(theirs.records[i].lon), orvalis::gpi::UnitsOfDegrees(o.lon)) << i;
    }
}

}  // namespace

// Coordinates are held in 2^31 units to 180 degrees: a coordinate with at most
// seven decimals reads back as it was written, any other moves by less than a
// unit (9.3 mm), and writing moves it by at most half a unit (4.7 mm).
TEST(GpiCoordinates, SevenDecimalsReadBackAsWrittenAndNothingMovesAMillimetreTooFar)
{
    using namespace orvalis::gpi;
    QRandomGenerator random(36);
    long double worstWrite = 0, worstRead = 0;
    const long double unit = 180.0L / 2147483648.0L;
    for (int i = 0; i < 20000; ++i) {
        const int decimals = i % 12;
        const bool latitude = i % 2 == 0;
        const qint64 scale = static_cast<qint64>(std::pow(10, decimals));
        const qint64 limit = (latitude ? 90 : 180) * scale;
        const qint64 value = static_cast<qint64>(random.bounded(2 * limit + 1)) - limit;
        QByteArray text = QByteArray::number(std::llabs(value) / scale);
        if (decimals > 0)
            text += '.' + QByteArray::number(std::llabs(value) % scale).rightJustified(decimals, '0');
        if (value < 0)
            text.prepend('-');
        const std::optional<int32_t> units = UnitsOfDegrees(text);
        ASSERT_TRUE(units) << text.constData();
        const long double degrees = *CoordinateNumber(text);
        const QByteArray back = DegreesText(*units);
        EXPECT_EQ(UnitsOfDegrees(back), units) << text.constData();
        if (degrees == 180)
            continue;  // the same meridian as -180: checked below
        worstWrite = std::max(worstWrite, std::fabs(*units * unit - degrees));
        worstRead = std::max(worstRead, std::fabs(*CoordinateNumber(back) - degrees));
        if (decimals <= 7) {
            EXPECT_EQ(*CoordinateNumber(back), degrees) << text.constData() << " read back as " << back.constData();
        }
    }
    EXPECT_LE(Metres(worstWrite), 0.0047);
    EXPECT_LT(Metres(worstRead), 0.0094);
    EXPECT_EQ(DegreesText(*UnitsOfDegrees("180")), "-180");
    EXPECT_EQ(DegreesText(*UnitsOfDegrees("-180")), "-180");
    EXPECT_EQ(DegreesText(*UnitsOfDegrees("90")), "90");
    EXPECT_EQ(DegreesText(*UnitsOfDegrees("-0.00000004")), "0");
    EXPECT_EQ(DegreesText(1), "0.0000001");
    EXPECT_EQ(DegreesText(-1), "-0.0000001");
    EXPECT_EQ(DegreesText(2147483647), "179.9999999");
    EXPECT_FALSE(UnitsOfDegrees("180.0000001"));
    EXPECT_FALSE(UnitsOfDegrees("north"));
}

TEST(GpiFiles, EveryFieldOfAPoiReadsBackWithTheCategoryAndAlerts)
{
    PoiRecord full = Poi("48.85661", "2.35222", QStringLiteral("Radar é"),
                         {Number("proximity", "250"), Number("speed", "33.3"), Text("street", "1 rue X"),
                          Text("house_number", "12bis"), Text("postal_code", "75001"), Text("city", "Paris"),
                          Text("state", "IDF"), Text("country", "France"), Text("phone", "+33 1 23"),
                          Text("phone2", "0600"), Text("fax", "0700"), Text("email", "a@b.fr"), Text("web", "http://x.fr")});
    full.cmt = QStringLiteral("un commentaire");
    full.desc = QStringLiteral("une description");
    const std::vector<PoiRecord> in = {full, Poi("-33.5", "-70.25", QStringLiteral("Santiago"))};
    GpiWriteOptions options;
    options.alertMetres = 300;
    const Read read = ReadBytes(Written(in, options));
    ASSERT_EQ(read.status, GpiRead::Ok);
    EXPECT_EQ(read.codePage, 1252);
    ASSERT_EQ(read.records.size(), 2u);
    const PoiRecord &a = read.records[0];
    EXPECT_EQ(a.lat, "48.85661");
    EXPECT_EQ(a.lon, "2.35222");
    EXPECT_EQ(a.name, QStringLiteral("Radar é"));
    EXPECT_EQ(a.cmt, QStringLiteral("un commentaire"));
    EXPECT_EQ(a.desc, QStringLiteral("une description"));
    QStringList keys;
    for (const PoiProperty &p : a.properties)
        keys << p.key + u'=' + PropertyText(p.json);
    EXPECT_EQ(keys, QStringList({"category=Radars fixes", "proximity=250", "speed=33.3", "city=Paris", "country=France",
                                 "state=IDF", "postal_code=75001", "street=1 rue X", "house_number=12bis", "phone=+33 1 23",
                                 "phone2=0600", "fax=0700", "email=a@b.fr", "web=http://x.fr"}));
    // The option's alert where the POI has none of its own.
    EXPECT_EQ(Property(read.records[1], "proximity"), QStringLiteral("300"));
    EXPECT_EQ(Property(read.records[1], "category"), QStringLiteral("Radars fixes"));
    EXPECT_EQ(read.records[1].lat, "-33.5");
}

TEST(GpiFiles, AlertsFromTheFieldsOrTheOption)
{
    const std::vector<PoiRecord> in = {
        Poi("1", "1", "own", {Number("proximity", "120.4")}),
        Poi("1", "2", "none", {Number("proximity", "0")}),
        Poi("1", "3", "unreadable", {Text("proximity", "near")}),
        Poi("1", "4", "as text", {Text("proximity", "75"), Text("speed", "50")}),
        Poi("1", "5", "too far", {Number("proximity", "70000")}),
        Poi("1", "6", "speeds", {Number("speed", "130")}),
        Poi("1", "7", "plain"),
    };
    GpiWriteOptions every;
    every.alertMetres = 300;
    const Read read = ReadBytes(Written(in, every));
    ASSERT_EQ(read.records.size(), in.size());
    const char *proximity[] = {"120", "", "300", "75", "300", "300", "300"};
    const char *speed[] = {"", "", "", "50", "", "130", ""};
    for (size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(Property(read.records[i], "proximity"), QLatin1String(proximity[i])) << i;
        EXPECT_EQ(Property(read.records[i], "speed"), QLatin1String(speed[i])) << i;
    }
    // Without the option only the POIs' own alerts.
    const Read plain = ReadBytes(Written(in));
    EXPECT_EQ(Property(plain.records[0], "proximity"), QStringLiteral("120"));
    EXPECT_EQ(Property(plain.records[2], "proximity"), QString());
    EXPECT_EQ(Property(plain.records[6], "proximity"), QString());
    // Every speed with a tenth of a km/h reads back as written.
    std::vector<PoiRecord> speeds;
    std::vector<QByteArray> written;
    for (int tenths = 1; tenths < 23000; tenths += 3) {
        written.push_back(QByteArray::number(tenths / 10.0, 'f', 1).replace(".0", ""));
        speeds.push_back(Poi("0", "0", "s", {Number("speed", written.back().constData())}));
    }
    const Read all = ReadBytes(Written(speeds));
    ASSERT_EQ(all.records.size(), speeds.size());
    for (size_t i = 0; i < speeds.size(); ++i)
        ASSERT_EQ(Property(all.records[i], "speed"), QString::fromLatin1(written[i]));
}

TEST(GpiFiles, NamesThatDoNotFitWindows1252MakeAUtf8File)
{
    const std::vector<PoiRecord> latin = {Poi("1", "1", QStringLiteral("Café € œ"))};
    Read read = ReadBytes(Written(latin));
    EXPECT_EQ(read.codePage, 1252);
    EXPECT_EQ(read.records[0].name, QStringLiteral("Café € œ"));
    const QByteArray windows = Written(latin);
    EXPECT_TRUE(windows.contains(QByteArray("Caf\xE9 \x80 \x9C")));

    std::vector<PoiRecord> mixed = latin;
    mixed.push_back(Poi("2", "2", QStringLiteral("Αθήνα 😀")));
    PoiRecord commented = Poi("3", "3", QStringLiteral("plain"));
    commented.cmt = QStringLiteral("ț");
    mixed.push_back(commented);
    read = ReadBytes(Written(mixed));
    EXPECT_EQ(read.codePage, 65001);
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[0].name, QStringLiteral("Café € œ"));
    EXPECT_EQ(read.records[1].name, QStringLiteral("Αθήνα 😀"));
    EXPECT_EQ(read.records[2].cmt, QStringLiteral("ț"));

    // A lone surrogate half (from a damaged file or a JSON escape) is written
    // as '?': the lengths must count it so, or the file reads as damaged.
    PoiRecord lone = Poi("4", "4", QStringLiteral("Gare ") + QChar(0xD800) + QStringLiteral(" ώ"));
    lone.cmt = QString(QChar(0xDC00)) + QStringLiteral("33 1");
    mixed.push_back(lone);
    read = ReadBytes(Written(mixed));
    EXPECT_EQ(read.status, GpiRead::Ok);
    ASSERT_EQ(read.records.size(), 4u);
    EXPECT_EQ(read.records[3].name, QStringLiteral("Gare ? ώ"));
    EXPECT_EQ(read.records[3].cmt, QStringLiteral("?33 1"));
}

TEST(GpiFiles, TheHeadersAreasAndBitmapAsNavigatorsReadThem)
{
    std::vector<PoiRecord> in;
    for (int i = 0; i < 130; ++i)
        in.push_back(Poi(QByteArray::number(40 + i * 0.01).constData(), QByteArray::number(-3 + i * 0.02).constData(),
                         QStringLiteral("P%1").arg(i), i == 100 ? std::vector<PoiProperty>{Number("proximity", "50")} : std::vector<PoiProperty>{}));
    const QByteArray file = Written(in);
    // The made time in seconds from the last day of 1989, the code page, the group's name.
    EXPECT_EQ(file.first(8), b::U16(0) + b::U16(0) + b::U32(28));
    EXPECT_EQ(file.sliced(8, 12), "GRMREC00" + b::U32(uint32_t(kMade.toSecsSinceEpoch() - 631065600)));
    EXPECT_EQ(file.sliced(36, 20), b::U16(1) + b::U16(0) + b::U32(12) + QByteArray("POI\0\0\0" "00", 8) + b::U16(1252) + b::U16(0));
    EXPECT_EQ(file.sliced(56, 4), b::U16(9) + b::U16(8));
    EXPECT_EQ(file.sliced(68, 20), b::Localized("Radars fixes"));
    EXPECT_TRUE(file.endsWith(b::U16(0xFFFF) + b::U16(0) + b::U32(0)));
    // Three areas of at most 64 POIs, in order, each with its bounds and whether an alert is inside.
    qsizetype at = 88;
    const int counts[] = {64, 64, 2};
    int first = 0;
    for (int area = 0; area < 3; ++area) {
        ASSERT_EQ(file.sliced(at, 4), b::U16(8) + b::U16(8)) << area;
        const int last = first + counts[area] - 1;
        const auto units = [&](const PoiRecord &r, bool lat) { return b::U32(uint32_t(*orvalis::gpi::UnitsOfDegrees(lat ? r.lat : r.lon))); };
        EXPECT_EQ(file.sliced(at + 12, 16), units(in[size_t(last)], true) + units(in[size_t(last)], false) +
                                                units(in[size_t(first)], true) + units(in[size_t(first)], false));
        EXPECT_EQ(file.at(at + 34), area == 1 ? 1 : 0) << area;
        at += 12 + qsizetype(orvalis::gpi::U32(file.constData() + at + 4));
        first = last + 1;
    }
    // The bitmap: 24 by 24, 8 bits, magenta transparent, a 256-colour palette.
    EXPECT_EQ(file.sliced(at, 8), b::U16(5) + b::U16(0) + b::U32(36 + 576 + 1024));
    EXPECT_EQ(file.sliced(at + 8, 36), b::U16(0) + b::U16(24) + b::U16(24) + b::U16(24) + b::U16(8) + b::U16(0) + b::U32(576) +
                                           b::U32(44) + b::U32(256) + b::U32(0xFF00FF) + b::U32(1) + b::U32(620));
    EXPECT_EQ(at + 8 + 1636 + 8, file.size());
    const Read read = ReadBytes(file);
    ASSERT_EQ(read.records.size(), in.size());
    for (size_t i = 0; i < in.size(); ++i)
        ASSERT_EQ(read.records[i].name, in[i].name);
}

TEST(GpiFiles, WhatTheWriterCannotHold)
{
    GpiWriter writer({QStringLiteral("c"), std::nullopt, kMade});
    EXPECT_FALSE(writer.append(Poi("", "2", "no latitude")));
    EXPECT_FALSE(writer.append(Poi("91", "2", "beyond the pole")));
    EXPECT_FALSE(writer.append(Poi("45", "180.5", "beyond the date line")));
    EXPECT_TRUE(writer.append(Poi("-90", "180", "corner")));
    EXPECT_EQ(writer.count(), 1);
    // Texts over 65,535 bytes are cut at a character, and counted.
    int cut = 0;
    const QString longName = QString(40000, u'é');
    PoiRecord r = Poi("1", "1", longName);
    r.desc = QString(70000, u'a');
    const Read read = ReadBytes(Written({r}, {}, nullptr, &cut));
    EXPECT_EQ(cut, 2);
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0].name, QString(32767, u'é'));
    EXPECT_EQ(read.records[0].desc, QString(65535, u'a'));
}

// Layouts GPSBabel does not write: categories named after their POIs, a
// description, texts in two languages, another code page.
TEST(GpiFiles, OtherWritersLayouts)
{
    const QByteArray categoryA = b::Record(6, b::U16(3)), categoryB = b::Record(6, b::U16(4));
    const QByteArray description = b::Record(14, char(1) + b::Localized("described"));
    const QByteArray pois = b::Waypoint(48.5, 2.25, "first", categoryA + description) + b::Waypoint(48.6, 2.35, "second", categoryB) +
                            b::Waypoint(48.7, 2.45, "third");
    const QByteArray after = b::Record(7, b::U16(3) + b::Localized("Cat three")) + b::Record(7, b::U16(4) + b::Localized("Cat four"));
    Read read = ReadBytes(b::File(b::Area(pois), after));
    ASSERT_EQ(read.status, GpiRead::Ok);
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[0].name, QStringLiteral("first"));
    EXPECT_EQ(read.records[0].desc, QStringLiteral("described"));
    EXPECT_EQ(Property(read.records[0], "category"), QStringLiteral("Cat three"));
    EXPECT_EQ(Property(read.records[1], "category"), QStringLiteral("Cat four"));
    EXPECT_EQ(Property(read.records[2], "category"), QStringLiteral("Group"));
    EXPECT_EQ(read.records[0].lat, "48.5");
    EXPECT_EQ(read.records[2].lon, "2.45");

    // Two languages: the first; a description without its leading byte; Windows-1251.
    const QByteArray languages = "RU" + b::Plain("\xCC\xEE\xF1\xEA") + "EN" + b::Plain("Msk");
    const QByteArray both = b::U32(uint32_t(languages.size())) + languages;
    const QByteArray wp = b::Record(2, b::U32(0) + b::U32(0) + b::U16(1) + char(0) + both,
                                    b::Record(14, b::Localized("\xE4\xE0")), true);
    read = ReadBytes(b::File(b::Area(wp), {}, 1251));
    ASSERT_EQ(read.status, GpiRead::Ok);
    EXPECT_EQ(read.codePage, 1251);
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0].name, QStringLiteral("Моск"));
    EXPECT_EQ(read.records[0].desc, QStringLiteral("да"));
    // A code page nobody reads (encrypted files show such numbers).
    read = ReadBytes(b::File(b::Area(wp), {}, 4321));
    EXPECT_EQ(read.status, GpiRead::UnknownCodePage);
    EXPECT_TRUE(read.records.empty());
}

TEST(GpiFiles, ReadInBlocksOfAnySize)
{
    std::vector<PoiRecord> in;
    for (int i = 0; i < 150; ++i) {
        PoiRecord r = Poi(QByteArray::number(i * 0.5 - 40).constData(), QByteArray::number(i - 75).constData(), QStringLiteral("n%1").arg(i));
        r.cmt = QStringLiteral("c%1").arg(i);
        in.push_back(r);
    }
    const QByteArray file = Written(in);
    const QByteArray categories = b::File(b::Area(b::Waypoint(1, 1, "x", b::Record(6, b::U16(1))) + b::Waypoint(2, 2, "y")),
                                          b::Record(7, b::U16(1) + b::Localized("late")));
    QTemporaryDir dir;
    for (const QByteArray &bytes : {file, categories}) {
        const Read whole = ReadBytes(bytes);
        const QString path = dir.filePath("in.gpi");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
        f.close();
        for (qsizetype block : {1, 3, 7, 64, 4096}) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
            BlockReader reader(fd, block);
            std::vector<PoiRecord> got;
            EXPECT_EQ(ForEachGpiRecord(reader, [&](PoiRecord &&r) { got.push_back(std::move(r)); }), GpiRead::Ok);
            ::close(fd);
            EXPECT_EQ(got, whole.records) << block;
        }
    }
}

// Lengths that lie and files cut anywhere: the POIs before the damage, never a read past the end.
TEST(GpiFiles, DamageKeepsThePoisBeforeIt)
{
    std::vector<PoiRecord> in;
    for (int i = 0; i < 8; ++i) {
        PoiRecord r = Poi("45", QByteArray::number(i).constData(), QStringLiteral("p%1").arg(i), {Number("proximity", "100"), Text("city", "c")});
        r.desc = QStringLiteral("d");
        in.push_back(r);
    }
    const QByteArray file = Written(in);
    const Read whole = ReadBytes(file);
    ASSERT_EQ(whole.records.size(), in.size());
    // Cut at every length: a prefix of the POIs, damage unless nothing was cut.
    for (qsizetype n = 0; n < file.size(); ++n) {
        const GuardedBytes cut(file.first(n));  // a read past them faults
        const Read r = ReadBytes(cut.view());
        ASSERT_NE(r.status, GpiRead::Ok) << n;
        ASSERT_LE(r.records.size(), in.size());
        for (size_t i = 0; i < r.records.size(); ++i)
            ASSERT_EQ(r.records[i], whole.records[i]) << n;
    }
    // Every length field made to lie, one at a time, high and low.
    int damaged = 0;
    for (qsizetype at = 0; at + 4 <= file.size(); ++at) {
        for (uint32_t lie : {0xFFFFFFFFu, 0x7FFFFFFFu, 0u, 3u}) {
            QByteArray bad = file;
            bad.replace(at, 4, b::U32(lie));
            const Read r = ReadBytes(GuardedBytes(bad).view());
            damaged += r.status == GpiRead::Damaged;
            ASSERT_LE(r.records.size(), in.size() + 1);
        }
    }
    EXPECT_GT(damaged, 100);
    // A waypoint whose name claims more than its record holds.
    const QByteArray liar = b::Record(2, b::U32(0) + b::U32(0) + b::U16(1) + char(0) + b::U32(200) + "EN" + b::U16(190) + "x", {}, true);
    Read r = ReadBytes(b::File(b::Area(b::Waypoint(1, 1, "kept") + liar)));
    EXPECT_EQ(r.status, GpiRead::Damaged);
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.records[0].name, QStringLiteral("kept"));
    EXPECT_TRUE(r.result.truncated);
    // A waypoint that claims to run past its area: it and what it would swallow are damage.
    QByteArray swallowing = b::Waypoint(1, 1, "claims more");
    const QByteArray next = b::Waypoint(2, 2, "swallowed");
    swallowing.replace(4, 4, b::U32(uint32_t(swallowing.size() - 8 + next.size() + 10)));
    r = ReadBytes(b::File(b::Area(swallowing + next) + b::Area(b::Waypoint(3, 3, "after"))));
    EXPECT_EQ(r.status, GpiRead::Damaged);
    EXPECT_TRUE(r.records.empty());
    // A header whose flags ask for a length past the file's last byte (found by the fuzz target).
    QFile found(QStringLiteral(ORVALIS_TEST_DATA "/navigator/gpi-flag-in-the-last-bytes.gpi"));
    ASSERT_TRUE(found.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadBytes(GuardedBytes(found.readAll()).view()).status, GpiRead::Damaged);
    // Areas nested without end.
    QByteArray nested = b::Waypoint(1, 1, "deep");
    for (int i = 0; i < 100; ++i)
        nested = b::Area(nested);
    EXPECT_EQ(ReadBytes(b::File(nested)).status, GpiRead::Damaged);
    // Not a GPI file at all.
    EXPECT_EQ(ReadBytes("GRMREC00 but not where it belongs").status, GpiRead::NotGpi);
    EXPECT_EQ(ReadBytes({}).status, GpiRead::NotGpi);
    EXPECT_FALSE(LooksLikeGpi(QByteArray(20, '\0')));
    EXPECT_TRUE(LooksLikeGpi(file));
}

// A file GPSBabel 1.8 wrote (tests/data/navigator), read as GPSBabel itself
// reads it, where GPSBabel is not installed too.
TEST(GpiFiles, AFileGpsBabelWrote)
{
    QFile f(QStringLiteral(ORVALIS_TEST_DATA "/navigator/gpsbabel-1.8.gpi"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const Read read = ReadBytes(f.readAll());
    ASSERT_EQ(read.status, GpiRead::Ok);
    ASSERT_EQ(read.records.size(), 2u);
    const PoiRecord &cafe = read.records[0], &paris = read.records[1];
    EXPECT_EQ(cafe.name, QStringLiteral("Café@50"));
    EXPECT_EQ(cafe.lat, "-33.4569123");
    EXPECT_EQ(cafe.lon, "-70.6483456");
    EXPECT_EQ(paris.name, QStringLiteral("Paris & co"));
    EXPECT_EQ(paris.cmt, QStringLiteral("un commentaire"));
    EXPECT_EQ(paris.lat, "48.8566");
    EXPECT_EQ(Property(paris, "category"), QStringLiteral("Radars fixes"));
    EXPECT_EQ(Property(paris, "street"), QStringLiteral("1 rue X"));
    EXPECT_EQ(Property(paris, "postal_code"), QStringLiteral("75001"));
    EXPECT_EQ(Property(paris, "phone"), QStringLiteral("+33 1 23"));
}

// GPSBabel reads what we write as we read it.
TEST(GpiGpsBabel, ReadsOurFilesWithTheSamePoisAndAlerts)
{
    if (!HasGpsBabel())
        GTEST_SKIP() << "gpsbabel is not installed";
    PoiRecord paris = Poi("48.85661", "2.35222", QStringLiteral("Radar é"),
                          {Text("street", "1 rue X"), Text("city", "Paris"), Text("postal_code", "75001"), Text("phone", "+33 1 23"),
                           Number("proximity", "120")});
    paris.cmt = QStringLiteral("un commentaire");
    paris.desc = QStringLiteral("une description");
    const std::vector<PoiRecord> in = {paris, Poi("-33.4569", "-70.6483", QStringLiteral("Santiago")),
                                       Poi("0", "180", QStringLiteral("Date line")), Poi("-90", "-0.0000001", QStringLiteral("South"))};
    GpiWriteOptions options;
    options.alertMetres = 300;
    QTemporaryDir dir;
    const QString path = dir.filePath("ours.gpi");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(Written(in, options)) > 0);
    f.close();
    const Read ours = ReadBytes(Written(in, options));
    ExpectReadAsGpsBabelReadsIt(path, ours.records);
    EXPECT_EQ(ours.records[2].lon, "-180");
}

// What GPSBabel writes reads here as GPSBabel reads it.
TEST(GpiGpsBabel, ItsFilesReadAsItReadsThem)
{
    if (!HasGpsBabel())
        GTEST_SKIP() << "gpsbabel is not installed";
    QTemporaryDir dir;
    const QByteArray gpx =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:gpxx=\"http://www.garmin.com/xmlschemas/GpxExtensions/v3\">\n"
        "<wpt lat=\"48.8566\" lon=\"2.3522\"><name>Paris &amp; co</name><cmt>un commentaire</cmt><desc>une description</desc>"
        "<extensions><gpxx:WaypointExtension><gpxx:Proximity>250</gpxx:Proximity><gpxx:Address>"
        "<gpxx:StreetAddress>1 rue X</gpxx:StreetAddress><gpxx:City>Paris</gpxx:City><gpxx:State>IDF</gpxx:State>"
        "<gpxx:Country>France</gpxx:Country><gpxx:PostalCode>75001</gpxx:PostalCode></gpxx:Address>"
        "<gpxx:PhoneNumber>+33 1 23</gpxx:PhoneNumber></gpxx:WaypointExtension></extensions></wpt>\n"
        "<wpt lat=\"-33.4569123\" lon=\"-70.6483456\"><name>Caf\xC3\xA9@50</name></wpt>\n"
        "<wpt lat=\"10.123456789\" lon=\"179.99999999\"><name>Loin</name><desc>seulement une description</desc></wpt>\n"
        "</gpx>\n";
    QFile source(dir.filePath("in.gpx"));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly) && source.write(gpx) == gpx.size());
    source.close();
    for (const QString &options : {QStringLiteral("garmin_gpi,category=Radars fixes"), QStringLiteral("garmin_gpi,speed=30,writecodec=utf8")}) {
        const QString path = dir.filePath("theirs.gpi");
        ASSERT_TRUE(RunGpsBabel({"-i", "gpx", "-f", dir.filePath("in.gpx"), "-o", options, "-F", path}));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const Read ours = ReadBytes(file.readAll());
        ASSERT_EQ(ours.status, GpiRead::Ok);
        ASSERT_EQ(ours.records.size(), 3u);
        ExpectReadAsGpsBabelReadsIt(path, ours.records);
        EXPECT_EQ(Property(ours.records[0], "category"), options.contains("Radars") ? QStringLiteral("Radars fixes") : QStringLiteral("My points"));
    }
}
