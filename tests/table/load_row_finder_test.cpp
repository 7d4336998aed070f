#include "table/load_row_finder.h"

#include "geo/decimal_entry.h"
#include "support/tables.h"
#include "table/sort_by_field.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace orvalis;
using orvalis::testing::TableOfRows;

namespace {

struct Found {
    QString lat, lon;
    qint64 rows = 0;
    int passes = 0;
};

// Streams the table's rows through the finder until it knows the place.
Found FindRow(const PoiTable &t, const QCollator &collator, qint64 position, LoadRowFinder::Limits limits)
{
    LoadRowFinder finder(collator, position, limits);
    EXPECT_TRUE(finder.usable());
    Found found;
    for (;;) {
        ++found.passes;
        for (int r = 1; r <= t.lastRow(); ++r)
            EXPECT_TRUE(finder.see(t.field(r, FieldLatitude), t.field(r, FieldLongitude)));
        if (finder.endPass() || found.passes > 40)
            break;
    }
    found.lat = finder.latitude();
    found.lon = finder.longitude();
    found.rows = finder.rows();
    return found;
}

// Coordinate texts of few values written many ways: equal under the collation
// (case, trailing blanks), equal in value only, or neighbours in text order.
PoiTable TieHeavyTable(QRandomGenerator &random, int rows, QChar sep)
{
    const QStringList lats = {"48.5", "48.50", "4.85e1", "4.85E1", "-48.5", "+48.5", "48", "48.05", "1", "10", "9.99",
                              "-0.5", "0.5", "48.5 ", "48.5\t", "1e1", "1E1", "1e+1", "10.0"};
    const QStringList lons = {"2.5", "2.50", "2.5E0", "2.5e0", "-2.5", "2", "25e-1", "0", "-0", "+0", "180", "-180", "2.5 "};
    const QStringList names = {"a", "A", "b", "B", "é", "É", "", "a - b", "A - B"};
    QList<QStringList> table;
    for (int i = 0; i < rows; ++i) {
        QString lat = lats[random.bounded(lats.size())], lon = lons[random.bounded(lons.size())];
        table.append({lat.replace(u'.', sep), lon.replace(u'.', sep), names[random.bounded(names.size())]});
    }
    return TableOfRows(table);
}

}  // namespace

TEST(LoadRowFinder, TheRowAtEachPositionOfTheLoadSortOnTieHeavyFiles)
{
    QRandomGenerator random(38);
    const std::vector<LoadRowFinder::Limits> limits = {{}, {0, 0}, {0, 5}, {3, 0}, {0, 1000}};
    for (const char *name : {"C", "fr_FR", "en_US", "de_DE"}) {
        const QLocale locale(QString::fromLatin1(name));
        const QCollator collator = TableCollator(locale);
        const QChar sep = locale.decimalPoint().at(0);
        for (int file = 0; file < 6; ++file) {
            const PoiTable table = TieHeavyTable(random, 20 + 40 * file, sep);
            PoiTable loaded = table;
            SortByField(loaded, FieldDistance, collator);
            for (int position = 1; position <= table.lastRow(); ++position) {
                const LoadRowFinder::Limits &l = limits[static_cast<size_t>(position) % limits.size()];
                const Found found = FindRow(table, collator, position, l);
                SCOPED_TRACE(QStringLiteral("%1, file %2, row %3").arg(QLatin1String(name)).arg(file).arg(position).toStdString());
                EXPECT_EQ(found.rows, table.lastRow());
                const QString lat = loaded.field(position, FieldLatitude), lon = loaded.field(position, FieldLongitude);
                // The same place as the window's row: the distances measured from it are the same.
                EXPECT_EQ(ReadDecimal(found.lat, sep), ReadDecimal(lat, sep)) << found.lat.toStdString() << " " << lat.toStdString();
                EXPECT_EQ(ReadDecimal(found.lon, sep), ReadDecimal(lon, sep)) << found.lon.toStdString() << " " << lon.toStdString();
                EXPECT_EQ(collator.compare(found.lat + u'|' + found.lon + u'|', lat + u'|' + lon + u'|'), 0);
                EXPECT_LE(found.passes, 8);
            }
        }
    }
}

TEST(LoadRowFinder, OnePassForAPositionAmongTheFirstRowsOrAPlaceTheFirstKeysSettle)
{
    const QCollator collator = TableCollator(QLocale(QLocale::French, QLocale::France));
    const PoiTable t = TableOfRows({{"48,5", "2,5", "b"}, {"-1", "3", "a"}, {"48,5", "2,25", "c"}, {"7", "1", "d"}});
    // Text order: "-1|3|" < "48,5|2,25|" < "48,5|2,5|" < "7|1|".
    const Found first = FindRow(t, collator, 1, {});
    EXPECT_EQ(first.passes, 1);
    EXPECT_EQ(first.lat, "-1");
    EXPECT_EQ(first.lon, "3");
    const Found third = FindRow(t, collator, 3, {0, 0});
    EXPECT_EQ(third.lat, "48,5");
    EXPECT_EQ(third.lon, "2,5");
    const Found last = FindRow(t, collator, 4, {0, 0});
    EXPECT_EQ(last.passes, 1);  // "7|1|" ends inside the first key
    EXPECT_EQ(last.lat, "7");
}

TEST(LoadRowFinder, PositionsBeyondTheRowsAndTextsNoCoordinateHas)
{
    const QCollator collator = TableCollator(QLocale(QLocale::French, QLocale::France));
    const PoiTable t = TableOfRows({{"1", "2", "a"}, {"3", "4", "b"}});
    const Found beyond = FindRow(t, collator, 3, {});
    EXPECT_EQ(beyond.rows, 2);
    EXPECT_EQ(beyond.passes, 1);
    LoadRowFinder finder(collator, 1);
    EXPECT_FALSE(finder.see(u"48|5", u"2"));
    EXPECT_FALSE(finder.see(u"48,5", u"2°"));
    EXPECT_FALSE(finder.see(QString(40, u'1'), u"2"));
    EXPECT_TRUE(finder.see(u"48,5", u"2"));
}
