#include "table/sort_by_field.h"

#include <algorithm>
#include <bit>
#include <array>
#include <cassert>
#include <cstring>
#include <numeric>
#include <optional>

namespace orvalis {

QCollator TableCollator(const QLocale &locale)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    collator.setIgnorePunctuation(false);
    return collator;
}

QString SortRecord(const PoiTable &table, int row, int k)
{
    QString record;
    record.reserve(64);
    auto add = [&](int f) {
        table.visitField(row, f, [&](QStringView v) { record += v; });
        record += u'|';
    };
    add(k);
    for (int f = 1; f < kFieldCount; ++f)
        if (f != k)
            add(f);
    return record;
}

namespace {

// Ranks of characters under the collator, such that two characters of
// different rank differ at the primary level and characters of equal rank
// do not. Comparing rank strings then decides wherever they differ, since
// the first primary difference decides a collation; equal rank strings say
// nothing and the collation itself is asked. Characters the checks cannot
// vouch for get 0 and end the fast key.
constexpr char16_t kRankedChars = 0x180;  // ASCII, Latin-1 and Latin Extended-A

struct FastRanks {
    std::array<uint8_t, kRankedChars> rank{};
};

FastRanks BuildRanks(const QCollator &collator)
{
    FastRanks out;
    auto str = [](char16_t c) { return QString(QChar(c)); };
    std::vector<char16_t> chars;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        if (collator.compare(str(c), QString()) != 0)  // ignorable characters are left out
            chars.push_back(c);
    std::stable_sort(chars.begin(), chars.end(),
                     [&](char16_t a, char16_t b) { return collator.compare(str(a), str(b)) < 0; });
    if (chars.size() < 2)
        return out;
    const QString lowest = str(chars.front());
    const QString highest = str(chars.back());
    // b is above a at the primary level when no following character can make up for it.
    auto primaryBelow = [&](const QString &a, const QString &b) {
        return collator.compare(a, b) < 0 && collator.compare(a + highest, b + lowest) < 0;
    };
    uint8_t rank = 1;
    out.rank[chars[0]] = rank;
    for (size_t i = 1; i < chars.size(); ++i) {
        if (primaryBelow(str(chars[i - 1]), str(chars[i])))
            ++rank;
        out.rank[chars[i]] = rank;
    }
    // Letters must not form contractions (as "ch" does in Czech): two-letter
    // strings must sort as their rank pairs do.
    std::vector<QString> pairs;
    for (char16_t x = u'a'; x <= u'z'; ++x)
        for (char16_t y = u'a'; y <= u'z'; ++y)
            pairs.push_back(str(x) + QChar(y));
    auto pairRank = [&](const QString &p) { return out.rank[p[0].unicode()] * 256 + out.rank[p[1].unicode()]; };
    std::stable_sort(pairs.begin(), pairs.end(), [&](const QString &p, const QString &q) { return pairRank(p) < pairRank(q); });
    for (size_t i = 1; i < pairs.size(); ++i) {
        if (collator.compare(pairs[i - 1], pairs[i]) > 0) {
            for (char16_t c = 0x20; c < 0x7F; ++c)
                if (QChar(c).isLetter())
                    out.rank[c] = 0;
            return out;
        }
    }
    // Accented Latin letters share the rank of their base letter when they
    // differ from it only below the primary level and are no expansion
    // (as a German "ä" sorted as "ae" would be).
    for (char16_t c = 0xC0; c < kRankedChars; ++c) {
        const QString decomposition = QChar(c).decomposition();
        if (QChar(c).decompositionTag() != QChar::Canonical || decomposition.size() < 2)
            continue;
        const char16_t base = decomposition[0].unicode();
        if (base >= 0x7F || out.rank[base] == 0)
            continue;
        const QString b = str(base), a = str(c);
        if (collator.compare(a + highest, b + lowest) > 0 && collator.compare(b + highest, a + lowest) > 0 &&
            collator.compare(a + lowest, b + lowest + lowest) < 0)
            out.rank[c] = out.rank[base];
    }
    return out;
}

constexpr int kKeyBytes = 59;

}  // namespace

// What the sort moves: the first sixteen key bytes as two numbers, the
// key's length and the row. The whole key is in keys_, found by the row.
struct RecordOrder::Item {
    uint64_t prefix[2];
    int32_t row;
    int32_t length;
};

RecordOrder::RecordOrder(const PoiTable &table, int k, const QCollator &collator)
    : table_(table), k_(k), collator_(collator),
      // Without descriptions a key holds the field and two coordinates: 31 bytes are plenty.
      stride_(k == FieldDescription ? kKeyBytes : 31)
{
    compareTies_ = collator.compare(QStringLiteral("a"), QStringLiteral("A")) == 0 &&
                   collator.sortKey(QStringLiteral("a")).compare(collator.sortKey(QStringLiteral("A"))) != 0;
    const FastRanks ranks = BuildRanks(collator);
    const uint8_t bar = ranks.rank[u'|'];
    const int n = table.lastRow();
    keys_.assign(static_cast<size_t>(n) * static_cast<size_t>(stride_), 0);
    items_.resize(static_cast<size_t>(n));
    for (int row = 1; row <= n; ++row) {
        uint8_t *key = keys_.data() + static_cast<size_t>(row - 1) * static_cast<size_t>(stride_);
        int len = 0;
        bool open = true;
        auto add = [&](int f) {
            if (!open)
                return;
            table.visitField(row, f, [&](QStringView v) {
                for (QChar c : v) {
                    const char16_t u = c.unicode();
                    const uint8_t r = u < kRankedChars ? ranks.rank[u] : 0;
                    if (r == 0 || len == stride_) {
                        open = false;
                        return;
                    }
                    key[len++] = r;
                }
            });
            if (open && len < stride_ && bar != 0)
                key[len++] = bar;
            else
                open = false;
        };
        add(k);
        // Descriptions live elsewhere in memory: reading them for every row
        // costs more than the rare ties they would settle.
        for (int f = 1; f < kFieldCount && (f != FieldDescription || k == FieldDescription); ++f)
            if (f != k)
                add(f);
        Item &item = items_[static_cast<size_t>(row - 1)];
        for (int half = 0; half < 2; ++half) {
            uint64_t prefix = 0;
            for (int b = 0; b < 8; ++b)
                prefix = (prefix << 8) | key[half * 8 + b];  // bytes past the key are 0
            item.prefix[half] = prefix;
        }
        item.row = row;
        item.length = len;
    }
}

RecordOrder::~RecordOrder() = default;

bool RecordOrder::itemLess(const Item &a, const Item &b) const
{
    const int common = std::min(a.length, b.length);
    for (int half = 0; half < 2; ++half) {
        if (a.prefix[half] != b.prefix[half]) {
            // The first differing byte decides when both keys reach it.
            const int at = half * 8 + std::countl_zero(a.prefix[half] ^ b.prefix[half]) / 8;
            if (at < common)
                return a.prefix[half] < b.prefix[half];
            return tieLess(a.row, b.row);
        }
    }
    if (common > 16) {
        const uint8_t *ka = keys_.data() + static_cast<size_t>(a.row - 1) * static_cast<size_t>(stride_);
        const uint8_t *kb = keys_.data() + static_cast<size_t>(b.row - 1) * static_cast<size_t>(stride_);
        const int c = std::memcmp(ka + 16, kb + 16, static_cast<size_t>(common - 16));
        if (c != 0)
            return c < 0;
    }
    return tieLess(a.row, b.row);
}

bool RecordOrder::tieLess(int rowA, int rowB) const
{
    if (compareTies_)
        return collator_.compare(record(rowA), record(rowB)) < 0;
    return fullKey(rowA).compare(fullKey(rowB)) < 0;
}

const QString &RecordOrder::record(int row) const
{
    auto it = records_.find(row);
    if (it == records_.end())
        it = records_.emplace(row, SortRecord(table_, row, k_)).first;
    return it->second;
}

bool RecordOrder::less(int rowA, int rowB) const
{
    assert(!items_.empty());
    return itemLess(items_[static_cast<size_t>(rowA - 1)], items_[static_cast<size_t>(rowB - 1)]);
}

const QCollatorSortKey &RecordOrder::fullKey(int row) const
{
    // ICU sort keys, made only for rows whose fast keys tie (few: kept in a map).
    auto it = full_.find(row);
    if (it == full_.end())
        it = full_.emplace(row, collator_.sortKey(SortRecord(table_, row, k_))).first;
    return it->second;
}

std::vector<int> RecordOrder::sortedRows()
{
    // Records that compare equal may come out in any order, so no stable sort is needed.
    std::sort(items_.begin(), items_.end(), [this](const Item &a, const Item &b) { return itemLess(a, b); });
    std::vector<int> order(items_.size());
    for (size_t i = 0; i < items_.size(); ++i)
        order[i] = items_[i].row;
    items_.clear();  // sorted in place: less() has no row index any more
    return order;
}

void SortByField(PoiTable &table, int k, const QCollator &collator)
{
    if (k < 1 || k >= kFieldCount)
        return;
    std::vector<int> order;
    {
        RecordOrder records(table, k, collator);
        order = records.sortedRows();
    }
    table.permuteContent(order);
}

}  // namespace orvalis
