#pragma once

#include "files/poi_record.h"
#include "support/records.h"

#include <QString>

#include <algorithm>

namespace orvalis::testing {

// The records as the CSV writer gives them back: coordinates in their plain
// decimal form, NUL characters left out, those without coordinates left out.
inline PoiRecords AsCsvWritesThem(PoiRecords records)
{
    for (PoiRecord &r : records.records) {
        r.lat = PlainDecimalText(r.lat);
        r.lon = PlainDecimalText(r.lon);
        const auto written = [](QString t) { return t.remove(QChar(0)); };
        for (QString PoiRecord::*field : kRecordTexts)
            r.*field = written(r.*field);
        for (PoiProperty &p : r.properties) {
            p.key.remove(QChar(0));
            p.json = JsonStringOf(written(PropertyText(p.json)));
        }
    }
    // A record without coordinates is not written.
    std::erase_if(records.records, [](const PoiRecord &r) { return r.lat.isEmpty() || r.lon.isEmpty(); });
    return records;
}

// What differs between the records and what the CSV writer's bytes of them
// read back to; empty when nothing does.
inline QString CsvRoundTripDifference(const PoiRecords &records)
{
    // A CSV cell cannot tell a property a record lacks from an empty one:
    // every record has the file's columns, in the file's one order.
    const auto withoutEmpty = [](PoiRecords r) {
        for (PoiRecord &p : r.records) {
            std::erase_if(p.properties, [](const PoiProperty &q) { return PropertyText(q.json).isEmpty(); });
            std::stable_sort(p.properties.begin(), p.properties.end(),
                             [](const PoiProperty &a, const PoiProperty &b) { return a.key < b.key; });
        }
        return r;
    };
    const PoiRecords expected = withoutEmpty(AsCsvWritesThem(records));
    const QByteArray bytes = RecordBytes(Codec("csv"), records);
    const PoiRecords back = withoutEmpty(ReadRecords(Codec("csv"), bytes));
    if (back.records.size() != expected.records.size())
        return QStringLiteral("%1 records read back of %2").arg(back.records.size()).arg(expected.records.size());
    for (size_t i = 0; i < back.records.size(); ++i)
        if (!(back.records[i] == expected.records[i]))
            return QStringLiteral("record %1 differs; the file:\n").arg(i + 1) + QString::fromUtf8(bytes);
    return {};
}

}  // namespace orvalis::testing
