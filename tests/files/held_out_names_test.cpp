// Names as other programs write them, in every container: UTF-8 names of many
// scripts, and names in Windows-1252 where a text is decided on its own. Each
// file is read as a command reads it and as the window loads it.
#include "files/kmz_format.h"
#include "files/poi_codec.h"
#include "files/text_codecs.h"
#include "support/records.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

QStringList NameList(const char *file)
{
    QFile f(QStringLiteral(ORVALIS_TEST_DATA "/names/") + QLatin1String(file));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file;
    QStringList names;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            names << QString::fromUtf8(line);
    return names;
}

QByteArray XmlEscaped(const QByteArray &name)
{
    return QByteArray(name).replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

QByteArray CsvQuoted(const QByteArray &name)
{
    return '"' + QByteArray(name).replace('"', "\"\"") + '"';
}

QByteArray Ov2Record(const QByteArray &name)
{
    QByteArray r(13, '\0');
    r[0] = 2;
    const quint32 length = quint32(name.size()) + 14;
    for (int i = 0; i < 4; ++i)
        r[1 + i] = char((length >> (8 * i)) & 0xFF);
    return r + name + '\0';
}

QByteArray Kml(const QList<QByteArray> &names)
{
    QByteArray kml = "<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>\n";
    for (const QByteArray &n : names)
        kml += "<Placemark><name>" + XmlEscaped(n) + "</name><Point><coordinates>2,1</coordinates></Point></Placemark>\n";
    return kml + "</Document></kml>\n";
}

// The KML in a zip as other programs make it (libzip on its own).
QByteArray Kmz(const QByteArray &kml)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("a.kmz"));
    int error = 0;
    zip_t *zip = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    zip_source_t *s = zip_source_buffer(zip, kml.constData(), zip_uint64_t(kml.size()), 0);
    zip_file_add(zip, "doc.kml", s, 0);
    zip_close(zip);
    QFile f(dir.filePath("a.kmz"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

// One file of the format holding the names (bytes as given), one POI each, in order.
QByteArray FileOf(const QByteArray &format, const QList<QByteArray> &names)
{
    QByteArray out;
    if (format == "gpx") {
        out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
        for (const QByteArray &n : names)
            out += "<wpt lat=\"1\" lon=\"2\"><name>" + XmlEscaped(n) + "</name></wpt>\n";
        out += "</gpx>\n";
    } else if (format == "kml") {
        out = Kml(names);
    } else if (format == "kmz") {
        out = Kmz(Kml(names));
    } else if (format == "ov2") {
        for (const QByteArray &n : names)
            out += Ov2Record(n);
    } else if (format == "csv") {
        out = "lat,lon,name\r\n";
        for (const QByteArray &n : names)
            out += "1,2," + CsvQuoted(n) + "\r\n";
    } else if (format == "asc") {
        for (const QByteArray &n : names)
            out += "2,1," + CsvQuoted(n) + "\r\n";
    } else if (format == "geojson") {
        out = "{\"type\":\"FeatureCollection\",\"features\":[\n";
        for (qsizetype i = 0; i < names.size(); ++i)
            out += QByteArray(i ? "," : "") + "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[2,1]},"
                   "\"properties\":{\"name\":" + JsonStringOf(QString::fromUtf8(names[i])) + "}}\n";
        out += "]}\n";
    }
    return out;
}

// The names a command reads (through a file a block at a time, as orvalis-cli reads).
QStringList CommandNames(const QByteArray &format, const QByteArray &bytes)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("in"));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    f.close();
    const int fd = ::open(QFile::encodeName(f.fileName()).constData(), O_RDONLY);
    BlockReader in(fd, 4096);
    QStringList names;
    for (const PoiRecord &r : ReadRecords(Codec(format.constData()), in).records)
        names << r.name;
    ::close(fd);
    return names;
}

// The descriptions the window shows (the " - " GPX joins to a name taken off).
QStringList WindowNames(const QByteArray &format, const QByteArray &bytes)
{
    PoiTable t;
    ReadResult result;
    Codec(format.constData()).readTable(bytes, t, u'.', &result);
    QStringList names;
    for (int r = 1; r <= t.lastRow(); ++r) {
        QString d = t.field(r, FieldDescription);
        if (d.endsWith(QStringLiteral(" - ")))
            d.chop(3);
        names << d;
    }
    return names;
}

// How many names of `expected` each reading got wrong, the first few shown.
int Misread(const QByteArray &what, const QStringList &got, const QStringList &expected)
{
    EXPECT_EQ(got.size(), expected.size()) << what.constData();
    int wrong = 0;
    for (qsizetype i = 0; i < std::min(got.size(), expected.size()); ++i)
        if (got[i] != expected[i] && ++wrong <= 5)
            ADD_FAILURE() << what.constData() << ": " << expected[i].toStdString() << " read as " << got[i].toStdString();
    return wrong;
}

const QList<QByteArray> kContainers = {"gpx", "kml", "kmz", "ov2", "csv", "asc", "geojson"};

}  // namespace

TEST(HeldOutNames, Utf8NamesReadAsWrittenInEveryContainer)
{
    const QStringList names = NameList("held_out_utf8.txt");
    ASSERT_GE(names.size(), 400);
    QList<QByteArray> bytes;
    for (const QString &n : names)
        bytes << n.toUtf8();
    for (const QByteArray &format : kContainers) {
        const QByteArray file = FileOf(format, bytes);
        EXPECT_EQ(Misread(format + " (command)", CommandNames(format, file), names), 0) << format.constData();
        EXPECT_EQ(Misread(format + " (window)", WindowNames(format, file), names), 0) << format.constData();
    }
}

TEST(HeldOutNames, EachNameAloneReadsTheSame)
{
    // A name decided on its own: alone in its file it reads as among the others.
    const QStringList names = NameList("held_out_utf8.txt") + NameList("held_out_windows1252.txt");
    for (const QString &n : names)
        for (const QByteArray &format : {QByteArray("ov2"), QByteArray("gpx")}) {
            const QByteArray name = FitsWindows1252(n) && format == "ov2" ? EncodeWindows1252(n) : n.toUtf8();
            EXPECT_EQ(CommandNames(format, FileOf(format, {name})), QStringList{n}) << format.constData();
        }
}

TEST(HeldOutNames, Windows1252NamesReadAsWrittenWhereEachTextIsDecided)
{
    const QStringList names = NameList("held_out_windows1252.txt");
    for (const char *must : {"CAFÉ–BAR", "CAFÉ—BAR", "DÉJÀ•VU", "ÉTÉ™", "HÔTEL•", "Rosé™®"})
        ASSERT_TRUE(names.contains(QString::fromUtf8(must))) << must;
    QList<QByteArray> bytes;
    for (const QString &n : names) {
        ASSERT_TRUE(FitsWindows1252(n)) << n.toStdString();
        bytes << EncodeWindows1252(n);
    }
    for (const QByteArray &format : {QByteArray("ov2"), QByteArray("csv"), QByteArray("asc")}) {
        const QByteArray file = FileOf(format, bytes);
        EXPECT_EQ(Misread(format + " (command)", CommandNames(format, file), names), 0) << format.constData();
        EXPECT_EQ(Misread(format + " (window)", WindowNames(format, file), names), 0) << format.constData();
    }
}

TEST(HeldOutNames, XmlIsUtf8WhereverItsBytesAre)
{
    // An XML file that declares nothing is UTF-8: Windows-1252 bytes that happen
    // to be UTF-8 read as UTF-8; a text that is not UTF-8 falls back on its own.
    const QList<QByteArray> bytes = {"CAF\xC9\x96" "BAR", "H\xD4TEL\x95", "Ros\xE9\x99\xAE", "\xCA\xBB" "Aiea"};
    const QStringList expected = {QString::fromUtf8("CAFɖBAR"), QString::fromUtf8("HÔTEL•"), QString::fromUtf8("Ros陮"),
                                  QString::fromUtf8("ʻAiea")};
    for (const QByteArray &format : {QByteArray("gpx"), QByteArray("kml"), QByteArray("kmz")}) {
        const QByteArray file = FileOf(format, bytes);
        EXPECT_EQ(CommandNames(format, file), expected) << format.constData();
        EXPECT_EQ(WindowNames(format, file), expected) << format.constData();
    }
}
