// The separator of a CSV file, found as the quotes and the records show it,
// and the writer's files, which read back to the records written.
#include "files/csv_format.h"
#include "support/csv_round_trip.h"
#include "support/records.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

QStringList Names(const PoiRecords &records)
{
    QStringList names;
    for (const PoiRecord &r : records.records)
        names << r.name;
    return names;
}

}  // namespace

TEST(CsvSeparator, FoundFromTheRecordsNotTheHeaderAlone)
{
    // Headers with more ';' than ',', their records split by ',' alone.
    const PoiRecords a = ReadRecords(Codec("csv"), ",lat,lon,;;;;,desc\n,4,2\n");
    ASSERT_EQ(a.records.size(), 1u);
    EXPECT_EQ(a.records[0].lat, "4");
    EXPECT_EQ(a.records[0].lon, "2");
    const PoiRecords b = ReadRecords(Codec("csv"), "name,lat,lon,;;;;\na,4,2,x\n");
    ASSERT_EQ(b.records.size(), 1u);
    EXPECT_EQ(b.records[0].name, "a");
    ASSERT_EQ(b.records[0].properties.size(), 1u);
    EXPECT_EQ(b.records[0].properties[0].key, ";;;;");
    // Separators inside quotes do not count: a ';' file whose names hold commas.
    EXPECT_EQ(CsvSeparator("lat;lon;name\n1;2;\"a, b, c, d\"\n3;4;\"e, f, g, h\"\n"), ';');
    EXPECT_EQ(CsvSeparator("name,lat,lon\n\"a;b;c;d\",1,2\n"), ',');
    // This program's own window export, and a European file with decimal commas.
    EXPECT_EQ(CsvSeparator("48.85661; 2.35222; Paris, France; ; ; \r\n"), ';');
    EXPECT_EQ(CsvSeparator("lat;lon;name\n48,85;2,35;Paris\n"), ';');
    EXPECT_EQ(CsvSeparator("one column\nx\n"), ',');
}

TEST(CsvSeparator, TabAndBarSeparatedFilesRead)
{
    for (const char *file : {"lat\tlon\tname\n48.5\t2.5\tParis, Nord\n", "lat|lon|name\n48.5|2.5|Paris, Nord\n"}) {
        const PoiRecords r = ReadRecords(Codec("csv"), file);
        ASSERT_EQ(r.records.size(), 1u) << file;
        EXPECT_EQ(r.records[0].lat, "48.5");
        EXPECT_EQ(r.records[0].name, "Paris, Nord");
        PoiTable t;
        ReadCsv(file, t, u'.');
        EXPECT_EQ(t.lastRow(), 1);
        EXPECT_EQ(t.field(1, FieldDescription), "Paris, Nord");
    }
}

TEST(CsvSeparator, WhatTheWriterWritesReadsBack)
{
    // Files of other programs (the first two once written so that they read
    // back as other records), through the writer and back.
    for (const char *file : {",lat,lon,;;;;,desc\n,4,2\n", "name,lat,lon,;;;;\na,4,2,x\n",
                             "name,lat,lon,note\n\"a,b\",1,2,\"x\"\"y\"\n", "lat;lon;name\n48,5;2,5;Caf\xE9\n",
                             "2.35,48.85,Nord,c\n", "lat|lon|k\n1|2|a,b;c\tz\n", "lat,lon, k ,name\n1,2,\xEF\xBB\xBFv, x \n",
                             "lat,lon,name\n1,2,CAF\xC9\x96" "BAR\n3,4,\xCA\xBB" "Aiea\n",
                             // Records with cells in other columns: the file has one column order.
                             "lat,lon\n1,2,a,,b\n3,4,,c,d\n"}) {
        const PoiRecords read = ReadRecords(Codec("csv"), file);
        ASSERT_EQ(read.records.size(), 1u + (QByteArray(file).count('\n') > 2)) << file;
        EXPECT_EQ(CsvRoundTripDifference(read), QString()) << file;
    }
    // A key holding NUL characters: written without them, and read back so.
    PoiRecords nul;
    PoiRecord r;
    r.lat = "4";
    r.lon = "2";
    r.name = QString::fromUtf8("x\0y", 3);
    r.properties.push_back({QString::fromUtf8("nam\0\0\0\0name", 11), JsonStringOf("v")});
    nul.records.push_back(r);
    const QByteArray bytes = RecordBytes(Codec("csv"), nul);
    EXPECT_FALSE(bytes.contains('\0'));
    const PoiRecords back = ReadRecords(Codec("csv"), bytes);
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records[0].name, "xy");
    ASSERT_EQ(back.records[0].properties.size(), 1u);
    EXPECT_EQ(back.records[0].properties[0].key, "namname");
    EXPECT_EQ(CsvRoundTripDifference(nul), QString());
    // A text whose UTF-8 reads as UTF-8 only while it holds NULs: the mark is
    // decided on what is written (found by fuzzing).
    PoiRecords joined;
    r.name = QString::fromUtf8("\x02\blx\0\0\xE7\xBB\xBE\x01" "0", 11);
    r.properties.clear();
    joined.records.push_back(r);
    EXPECT_EQ(CsvRoundTripDifference(joined), QString());
}

TEST(CsvSeparator, RandomRecordsReadBackAsWritten)
{
    // Texts of separators, quotes, line breaks, NUL, spaces and letters of many scripts.
    const QStringList pieces = {",", ";", "\t", "|", "\"", "\n", "\r", "\r\n", QString(QChar(0)), " ", "a", "Z", "é",
                                "É–", "ʻ", "Ω", "宜", "😀", "lat", "1", "-2.5", "#", "'", "=", "\\"};
    QRandomGenerator random(35);
    auto text = [&](int most) {
        QString t;
        for (int n = random.bounded(most + 1); n > 0; --n)
            t += pieces[random.bounded(pieces.size())];
        return t;
    };
    PoiRecords records;
    QStringList keys;
    for (int k = 0; k < 6; ++k)
        keys << QStringLiteral("k%1").arg(k) + text(4).trimmed() + u'x';
    for (int i = 0; i < 300; ++i) {
        PoiRecord r;
        r.lat = QByteArray::number(random.bounded(180) - 90) + '.' + QByteArray::number(random.bounded(1000));
        r.lon = QByteArray::number(random.bounded(360) - 180);
        r.name = text(6);
        r.desc = text(3);
        r.ele = text(2).trimmed();
        r.ele.remove(QChar(0));
        // A CSV record holds every column: a key of its own empty is read back empty.
        for (const QString &key : keys)
            r.properties.push_back({key, JsonStringOf(random.bounded(3) ? text(5) : QString())});
        records.records.push_back(r);
    }
    EXPECT_EQ(CsvRoundTripDifference(records), QString());
    EXPECT_EQ(Names(ReadRecords(Codec("csv"), RecordBytes(Codec("csv"), records))), Names(AsCsvWritesThem(records)));
}
