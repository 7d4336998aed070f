#include "table/sort_by_field.h"

#include <QRandomGenerator>
#include <numeric>
#include "support/tables.h"

#include <gtest/gtest.h>

using namespace orvalis;
using orvalis::testing::TableOfRows;

namespace {

QCollator French()
{
    return TableCollator(QLocale(QLocale::French, QLocale::France));
}


// n rows of two words each (after `lead`) at a hundred latitudes: many ties.
PoiTable TableOfWords(int n, const QStringList &words, quint32 seed, const QString &lead = {})
{
    QRandomGenerator rng(seed);
    PoiTable t;
    t.setRowCount(n + 1);
    for (int r = 1; r <= n; ++r) {
        t.setNumber(r, r);
        t.setField(r, FieldLatitude, QString::number(rng.bounded(100)));
        t.setField(r, FieldDescription, lead + words[rng.bounded(words.size())] + u' ' + words[rng.bounded(words.size())]);
    }
    return t;
}

QStringList Column(const PoiTable &t, int f)
{
    QStringList out;
    for (int r = 1; r <= t.lastRow(); ++r)
        out << t.field(r, f);
    return out;
}

}  // namespace

TEST(SortByField, RecordPutsKeyFirstAndSkipsNumber)
{
    PoiTable t = TableOfRows({{"48", "2", "Paris", "1 km", "0001000", "N"}});
    EXPECT_EQ(SortRecord(t, 1, 4), QStringLiteral("1 km|48|2|Paris|0001000|N|"));
    EXPECT_EQ(SortRecord(t, 1, 1), QStringLiteral("48|2|Paris|1 km|0001000|N|"));
}

TEST(SortByField, DistanceTextsSortAsText)
{
    PoiTable t = TableOfRows({{"", "", "a", "2 km"}, {"", "", "b", "999 m"}, {"", "", "c", "100 m"},
                          {"", "", "d", "0 m"}, {"", "", "e", "1 km"}, {"", "", "f", "10 km"}});
    SortByField(t, 4, French());
    EXPECT_EQ(Column(t, FieldDistance),
              (QStringList{"0 m", "1 km", "10 km", "100 m", "2 km", "999 m"}));
    // N° never moves: it keeps counting the rows from the top.
    EXPECT_EQ(Column(t, FieldNumber), (QStringList{"1", "2", "3", "4", "5", "6"}));
    // The other fields travel with their row.
    EXPECT_EQ(Column(t, FieldDescription), (QStringList{"d", "e", "f", "c", "a", "b"}));
}

TEST(SortByField, IgnoresCaseAndKeepsPipesInFields)
{
    PoiTable t = TableOfRows({{"", "", "zèbre"}, {"", "", "Alpha|beta"}, {"", "", "ALPHA"}, {"", "", "éclair"}});
    SortByField(t, 3, French());
    const QStringList d = Column(t, FieldDescription);
    EXPECT_EQ(d.indexOf("zèbre"), 3);
    EXPECT_TRUE(d.contains("Alpha|beta"));  // not split into the next fields
    EXPECT_EQ(t.field(d.indexOf("Alpha|beta") + 1, FieldDistance), QString());
    EXPECT_LT(d.indexOf("ALPHA"), d.indexOf("éclair"));
}

TEST(SortByField, KeyOrderIsTextual)
{
    // A 12,000 km key has eight digits and sorts before a 2,000 km one.
    PoiTable t = TableOfRows({{"", "", "loin", "", "2000000"}, {"", "", "très loin", "", "12000000"}, {"", "", "base", "", "0000000"}});
    SortByField(t, 5, French());
    EXPECT_EQ(Column(t, FieldKey), (QStringList{"0000000", "12000000", "2000000"}));
}

// The fast keys must give exactly the order of the records under the
// collation, whatever the locale's tailoring: ties, accents, case, other
// scripts, digits against letters, contractions ("ch" in Czech).
TEST(SortByField, MatchesReferenceComparisonInSeveralLocales)
{
    const QStringList words = {"Gare", "gare", "École", "ecole", "Église", "église", "Zoo", "aire", "Aire de repos", "Pont",
                               "pont-neuf", "Chateau", "Château", "cote", "côte", "coté", "côté", "Hotel", "chalet", "cz",
                               "Öl", "oel", "Ärger", "aerger", "Москва", "Мост", "東京", "Ωmega", "1 km", "100 m", "2 km",
                               "", "a|b", "Œuvre", "oeuvre", "Straße", "strasse", "ñandú", "nz", "ø", "Ł", "l",
                               // Greek, Cyrillic with its own letters and accents, and scripts ranked only by
                               // where they fall: the keys must agree with the collation for all of them.
                               "Ёлка", "елка", "Йошкар", "иволга", "Їжак", "ґанок", "Ђорђе", "љубав", "Ω", "ω",
                               "Άλφα", "αλφα", "ς", "σίγμα", "Æble", "Åse", "aa", "Đak", "dz", "Þór", "ı", "ß",
                               "大阪", "カフェ", "かふぇ", "한국", "ไทย", "เก", "ꙮ", "Ǆ", "ǅ", "ŉ", "ĳ", "ij",
                               "l’été", "l'ete", "«Gare»", "Gare – Nord", "Gare—Nord", "Gare-Nord", "café…", "cafe...",
                               "1½", "1/2", "№ 5", "°C", "µ", "μ", "œil", "oeil", "Cœur", "coeur", "æ", "ae", "×", "x",
                               // Letters whose case folding is another letter, and characters beyond 16 bits.
                               "ſ", "s", "K", "k", "ÿ", "Ÿ", "ǅ", "ǆ", "🗼", "𝐀", "\U0001F600x"};
    for (const QLocale &locale : {QLocale(QLocale::French, QLocale::France), QLocale(QLocale::Czech),
                                  QLocale(QLocale::German), QLocale(QLocale::Swedish), QLocale(QLocale::Spanish),
                                  QLocale(QLocale::Danish), QLocale(QLocale::Lithuanian), QLocale::c(),
                                  QLocale(QLocale::Russian), QLocale(QLocale::Ukrainian), QLocale(QLocale::Serbian),
                                  QLocale(QLocale::Greek), QLocale(QLocale::Japanese), QLocale(QLocale::Chinese),
                                  QLocale(QLocale::Turkish), QLocale(QLocale::Thai)}) {
        QRandomGenerator rng(99);
        QList<QStringList> rows;
        for (int i = 0; i < 1500; ++i) {
            const QString w = words[rng.bounded(words.size())] + (rng.bounded(2) ? QString() : words[rng.bounded(words.size())]);
            rows << QStringList{QString::number(rng.bounded(-50, 50) / 10.0), QString::number(rng.bounded(3)), w,
                                rng.bounded(2) ? QStringLiteral("%1 km").arg(rng.bounded(30)) : QString(),
                                QStringLiteral("%1").arg(rng.bounded(100), 7, 10, QChar(u'0')),
                                words[rng.bounded(words.size())].left(2)};
        }
        const QCollator collator = TableCollator(locale);
        for (int k = 1; k < kFieldCount; ++k) {
            PoiTable t = TableOfRows(rows);
            QStringList records;
            for (int r = 1; r <= t.lastRow(); ++r)
                records << SortRecord(t, r, k);
            std::stable_sort(records.begin(), records.end(),
                             [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
            SortByField(t, k, collator);
            for (int r = 1; r <= t.lastRow(); ++r) {
                // Rows that compare equal may come in any order: compare as the collation does.
                ASSERT_EQ(collator.compare(SortRecord(t, r, k), records[r - 1]), 0)
                    << locale.name().toStdString() << " field " << k << " row " << r;
            }
        }
    }
}

TEST(SortByField, CaseIsIgnoredInTheCLocaleToo)
{
    // There the collator's sort keys keep the case that compare() ignores.
    PoiTable t = TableOfRows({{"1", "1", "alpha"}, {"1", "1", "Zulu"}, {"1", "1", "ALPHA"}, {"1", "1", "Alpha"}, {"1", "1", "beta"}});
    SortByField(t, FieldDescription, TableCollator(QLocale::c()));
    QStringList order;
    for (int r = 1; r <= t.lastRow(); ++r)
        order << t.field(r, FieldDescription).toLower();
    EXPECT_EQ(order, (QStringList{"alpha", "alpha", "alpha", "beta", "zulu"}));
}

TEST(SortByField, MatchesReferenceComparisonOnThousandRows)
{
    QRandomGenerator rng(1234);
    QList<QStringList> rows;
    const QStringList words = {"Gare", "gare", "École", "ecole", "Église", "Zoo", "aire", "Aire de repos", "Pont", "pont-neuf"};
    for (int i = 0; i < 1000; ++i) {
        rows << QStringList{QString::number(rng.bounded(-9000, 9000) / 100.0), QString::number(rng.bounded(1000)),
                            words[rng.bounded(words.size())] + QString::number(rng.bounded(50)),
                            QStringLiteral("%1 km").arg(rng.bounded(300)), QString(), QString()};
    }
    PoiTable t = TableOfRows(rows);
    const QCollator collator = French();
    QStringList records;
    for (int r = 1; r <= t.lastRow(); ++r)
        records << SortRecord(t, r, 3);
    std::stable_sort(records.begin(), records.end(),
                     [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    SortByField(t, 3, collator);
    for (int r = 1; r <= t.lastRow(); ++r)
        ASSERT_EQ(SortRecord(t, r, 3), records[r - 1]) << "row " << r;
}

// Big tables make their keys and sort on two threads, settling ties under a
// lock: the rows must come out in order, each exactly once.
TEST(SortByField, BigTablesSortOnTwoThreadsInOrder)
{
    const QStringList words = {"Gare", "gare", "École", "Москва", "東京", "Ørsted", "Œuvre", "oeuvre", "Straße", "l’été", "«x»"};
    const int n = 120000;
    PoiTable t = TableOfWords(n, words, 7);
    for (int r = 1; r <= n; ++r)
        t.setField(r, FieldCap, QString::number(r));  // tells the rows apart
    const QCollator collator = French();
    SortByField(t, FieldDescription, collator);
    std::vector<bool> seen(n + 1, false);
    QString previous;
    for (int r = 1; r <= n; ++r) {
        const int id = t.field(r, FieldCap).toInt();
        ASSERT_TRUE(id >= 1 && id <= n && !seen[static_cast<size_t>(id)]) << r;
        seen[static_cast<size_t>(id)] = true;
        const QString record = SortRecord(t, r, FieldDescription);
        if (r > 1) {
            ASSERT_LE(collator.compare(previous, record), 0) << "row " << r;
        }
        previous = record;
    }
}

// Scripts and containers run in the C locale: there too the keys order
// accented texts themselves, so that few rows are left to the collation (it
// took every French row there, ten times the time and twice the memory).
TEST(SortByField, TheCLocaleKeysOrderAccentedTextsThemselves)
{
    const QStringList words = {"Église", "église", "Château", "château", "Orléans", "Besançon", "Nîmes", "forêt", "près",
                               "côté", "Œuvre", "l’été", "«Gare»", "Москва", "Αθήνα", "Kraków", "Łódź", "Straße", "Saint-Étienne",
                               "Angoulême", "Béziers", "Hôtel", "accès", "fermé", "août", "noël", "ça", "où", "très", "Évreux"};
    QRandomGenerator rng(2024);
    QList<QStringList> rows;
    for (int i = 0; i < 20000; ++i) {
        QString name;
        for (int w = 0; w < 4; ++w)
            name += words[rng.bounded(words.size())] + u' ';
        rows << QStringList{QString::number(rng.bounded(-9000, 9000) / 100.0), QString::number(rng.bounded(1000)), name};
    }
    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::French, QLocale::France)}) {
        const QCollator collator = TableCollator(locale);
        PoiTable t = TableOfRows(rows);
        RecordOrder order(t, FieldDescription, collator);
        const std::vector<int> sorted = order.sortedRows();
        EXPECT_LT(order.rowsHeldForTies(), 400) << locale.name().toStdString();
        for (size_t i = 1; i < sorted.size(); ++i)
            ASSERT_LE(collator.compare(SortRecord(t, sorted[i - 1], FieldDescription), SortRecord(t, sorted[i], FieldDescription)), 0)
                << locale.name().toStdString() << " " << i;
    }
}

// Duplicated POIs tie on every key; they are equal whatever the collation,
// so no collation key is made (and held) for them.
TEST(SortByField, DuplicatedRowsNeedNoCollationKeys)
{
    QList<QStringList> rows;
    for (int i = 0; i < 5000; ++i)
        rows << QStringList{QStringLiteral("48,1"), QStringLiteral("2,3"), i % 1000 ? QStringLiteral("Café «Gare»") : QStringLiteral("café «gare»")};
    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::French, QLocale::France)}) {
        PoiTable t = TableOfRows(rows);
        const QCollator collator = TableCollator(locale);
        RecordOrder order(t, FieldDescription, collator);
        order.sortedRows();
        // Only rows compared with the other spelling need the collation.
        EXPECT_LT(order.rowsHeldForTies(), 500) << locale.name().toStdString();
    }
}

namespace {

// The records of a table in the collation's order, equal ones in the order of their rows.
QStringList StableReference(const PoiTable &t, int k, const QCollator &collator, bool bySortKeys)
{
    QStringList records;
    std::vector<QCollatorSortKey> keys;
    for (int r = 1; r <= t.lastRow(); ++r) {
        records << SortRecord(t, r, k);
        if (bySortKeys)
            keys.push_back(collator.sortKey(records.back()));
    }
    std::vector<int> order(static_cast<size_t>(t.lastRow()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        // Rows without a place come after every POI.
        const bool la = t.lacksCoordinates(a + 1), lb = t.lacksCoordinates(b + 1);
        if (la != lb)
            return lb;
        return bySortKeys ? keys[size_t(a)].compare(keys[size_t(b)]) < 0 : collator.compare(records[a], records[b]) < 0;
    });
    QStringList out;
    for (const int i : order)
        out << records[i];
    return out;
}

QStringList Records(const PoiTable &t, int k)
{
    QStringList out;
    for (int r = 1; r <= t.lastRow(); ++r)
        out << SortRecord(t, r, k);
    return out;
}

}  // namespace

// Records the collation finds equal but that read differently ("Gare" and
// "gare") keep the order of their rows, whichever way the keys split them.
TEST(SortByField, EqualRecordsKeepTheOrderOfTheirRows)
{
    const QStringList words = {"Gare", "gare", "GARE", "École", "ecole", "école", "", "Œuvre", "oeuvre", "Straße", "strasse",
                               "Москва", "москва", "東京", "l’été", "L’ÉTÉ", "Radar fixe Orléans - chemin près du pont",
                               "radar fixe orléans - chemin près du pont", "a|b", "A|B"};
    QRandomGenerator rng(31);
    QList<QStringList> rows;
    for (int i = 0; i < 3000; ++i) {
        const bool place = rng.bounded(40) != 0;
        rows << QStringList{place ? QString::number(rng.bounded(3)) : QString(), place ? QStringLiteral("2,5") : QString(),
                            words[rng.bounded(words.size())] + (rng.bounded(3) ? QString() : words[rng.bounded(words.size())]),
                            rng.bounded(2) ? QStringLiteral("%1 km").arg(rng.bounded(3)) : QString(),
                            rng.bounded(2) ? QStringLiteral("0000000%1").arg(rng.bounded(3)) : QString(), words[rng.bounded(4)]};
    }
    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::French, QLocale::France), QLocale(QLocale::German),
                                  QLocale(QLocale::Czech), QLocale(QLocale::Japanese)}) {
        const QCollator collator = TableCollator(locale);
        for (int k = 1; k < kFieldCount; ++k) {
            PoiTable t = TableOfRows(rows);
            const QStringList expected = StableReference(t, k, collator, false);
            SortByField(t, k, collator);
            ASSERT_EQ(Records(t, k), expected) << locale.name().toStdString() << " field " << k;
        }
    }
}

// After "Calculer" every POI has an eight-digit key: those numbers are sorted
// at once and only equal ones go by their records. The order must be the
// whole sort's, rows without a place (whatever their keys) after the others;
// and so it must stay when ties are too many for that.
TEST(SortByField, DistanceKeysGiveTheOrderOfTheWholeRecords)
{
    const QStringList words = {"Gare", "gare", "GARE", "École", "ecole", "", "Москва", "москва", "東京", "a|b", "A|B"};
    for (const int distances : {100000, 40}) {
        QRandomGenerator rng(static_cast<quint32>(distances));
        QList<QStringList> rows;
        for (int i = 0; i < 3000; ++i) {
            if (i % 10 == 9) {
                // The same place as an earlier row, its name in another case.
                QStringList copy = rows[rng.bounded(i)];
                copy[2] = copy[2].toUpper();
                rows << copy;
                continue;
            }
            const bool place = rng.bounded(40) != 0;
            const QString key = place || rng.bounded(2) ? QStringLiteral("%1").arg(rng.bounded(distances), 8, 10, QChar(u'0'))
                                                        : QStringLiteral("x");
            rows << QStringList{place ? QString::number(rng.bounded(3)) : QString(), place ? QStringLiteral("2,5") : QString(),
                                words[rng.bounded(words.size())], QStringLiteral("%1 km").arg(rng.bounded(3)), key,
                                words[rng.bounded(4)]};
        }
        for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::French, QLocale::France), QLocale(QLocale::Japanese)}) {
            const QCollator collator = TableCollator(locale);
            PoiTable t = TableOfRows(rows);
            const QStringList expected = StableReference(t, FieldKey, collator, false);
            SortByField(t, FieldKey, collator);
            ASSERT_EQ(Records(t, FieldKey), expected) << locale.name().toStdString() << " " << distances;
        }
    }
}

// Big tables split their keys on two cores, or, when the keys cannot split
// them (every text starts with a character only the collation places), sort
// in halves: the same order either way.
TEST(SortByField, BigTablesGiveTheStableOrder)
{
    const QStringList words = {"Gare", "gare", "Église", "église", "Radar fixe", "radar fixe", "Château", "chateau", "Москва", "Kraków"};
    const QCollator collator = French();
    for (const QString &lead : {QString(), QStringLiteral("東")}) {
        const PoiTable t = TableOfWords(100500, words, 5, lead);
        for (const int k : {FieldDescription, FieldLatitude}) {
            PoiTable sorted = t;
            const QStringList expected = StableReference(sorted, k, collator, true);
            SortByField(sorted, k, collator);
            ASSERT_EQ(Records(sorted, k), expected) << "field " << k << " lead " << lead.size();
        }
    }
}
