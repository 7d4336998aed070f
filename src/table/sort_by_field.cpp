#include "table/sort_by_field.h"

#include "table/row_halves.h"

#include <algorithm>
#include <bit>
#include <array>
#include <cassert>
#include <cstring>
#include <mutex>
#include <numeric>
#include <optional>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

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
//
// Ranked: ASCII, the Greek and Cyrillic letters, and accented Latin letters
// equal to their base. A rank is left free wherever the script changes and
// after the last one: a character that falls strictly inside such a gap (a
// Japanese or Chinese one after Cyrillic) takes the free rank and ends its
// key there, so rows starting with it need the collation only among
// themselves.
constexpr char16_t kRankedChars = 0x460;  // up to the end of basic Cyrillic

// What a character puts into a fast key: one or two ranks (none: the key
// ends before it), and whether the key may go on after it.
struct CharRanks {
    uint8_t rank[3] = {0, 0, 0};
    uint8_t count = 0;
    bool goesOn = false;
};

class FastRanks {
public:
    explicit FastRanks(const QCollator &collator);

    // The ranks of a character into out (two for a letter the collation
    // expands, as "œ" is "oe"); their number, 0 when the key must end there;
    // and whether the key may go on after it.
    int ranks(char16_t u, uint8_t *out, bool *goesOn) const
    {
        *goesOn = true;
        if (u < kRankedChars && rank_[u] != 0) {
            out[0] = rank_[u];
            return 1;
        }
        if (u >= 0x2010 && u < 0x2010 + kPunctuation && punctuation_[u - 0x2010] != 0) {
            out[0] = punctuation_[u - 0x2010];
            return 1;
        }
        for (const Expansion &e : expansions_)
            if (e.c == u) {
                out[0] = e.r[0];
                out[1] = e.r[1];
                return 2;
            }
        out[0] = classify(u, goesOn);
        return out[0] != 0 ? 1 : 0;
    }
    CharRanks ranksOf(char16_t u) const
    {
        CharRanks c;
        c.count = static_cast<uint8_t>(ranks(u, c.rank, &c.goesOn));
        return c;
    }
    uint8_t bar() const { return rank_[u'|']; }

private:
    static QString Str(char16_t c) { return QString(QChar(c)); }
    // b is above a at the primary level when no following character can make up for it.
    bool primaryBelow(const QString &a, const QString &b) const
    {
        return collator_.compare(a, b) < 0 && collator_.compare(a + highest_, b + lowest_) < 0;
    }
    // Equal at the primary level, and neither one an expansion of the other ("ä" as "ae").
    bool primaryEqual(const QString &a, const QString &b) const
    {
        return collator_.compare(a + highest_, b + lowest_) > 0 && collator_.compare(b + highest_, a + lowest_) > 0 &&
               collator_.compare(a + lowest_, b + lowest_ + lowest_) < 0 &&
               collator_.compare(b + lowest_, a + lowest_ + lowest_) < 0;
    }
    // Letters of scripts whose rank strings are trusted (no contraction, no
    // reordering), met outside the ranked set.
    bool classifiable(char16_t u) const
    {
        if (!classify_ || (u < kRankedChars && settled_[u]))
            return false;
        return (u >= 0xC0 && u < 0x250) || (u >= 0x3041 && u <= 0x30FA) || (u >= 0x4E00 && u <= 0x9FFF);
    }
    uint8_t classify(char16_t u, bool *goesOn) const;
    void rankBaseCharacters();
    void checkPairs(char16_t from, char16_t to, bool ascii);
    void rankAccentedLetters();
    void rankExpansions();
    uint8_t &slot(char16_t c) { return c < kRankedChars ? rank_[c] : punctuation_[c - 0x2010]; }
    uint8_t at(char16_t c) const { return c < kRankedChars ? rank_[c] : punctuation_[c - 0x2010]; }

    static constexpr char16_t kPunctuation = 0x4F;  // General Punctuation up to U+205E
    struct Expansion {
        char16_t c;
        uint8_t r[2];
    };

    const QCollator &collator_;
    std::array<uint8_t, kRankedChars> rank_{};
    std::array<uint8_t, kPunctuation> punctuation_{};  // dashes, quotes, ellipsis…
    std::vector<Expansion> expansions_;
    std::array<bool, kRankedChars> settled_{};  // decided here, classify() must not revisit
    QString lowest_, highest_;
    std::vector<char16_t> leaders_;  // one character per rank, in order
    std::array<bool, 256> free_{};   // ranks left free for characters in between
    bool classify_ = true;
    mutable std::vector<uint16_t> classified_;  // per character: rank | goes-on << 8; 0xFFFF not yet known
    mutable std::mutex classifying_;            // keys are made on two threads
};

FastRanks::FastRanks(const QCollator &collator) : collator_(collator)
{
    rankBaseCharacters();
    if (leaders_.size() < 2)
        return;
    checkPairs(u'a', u'z', true);
    checkPairs(0x3B1, 0x3C9, false);  // Greek
    checkPairs(0x430, 0x45F, false);  // Cyrillic
    rankAccentedLetters();
    rankExpansions();
}

void FastRanks::rankBaseCharacters()
{
    std::vector<char16_t> chars;
    auto candidate = [&](char16_t c) {
        settled_[c] = true;
        chars.push_back(c);
    };
    for (char16_t c = 0x20; c < 0x7F; ++c)
        candidate(c);
    // Punctuation and symbols of French texts: « » ° – ’ …; those the
    // collation expands (¼, …) are caught below and end the keys.
    for (char16_t c = 0xA1; c < 0xC0; ++c)
        candidate(c);
    candidate(0xD7);
    candidate(0xF7);
    for (char16_t c = 0x2010; c < 0x2010 + kPunctuation; ++c)
        if (!QChar(c).isSpace())
            chars.push_back(c);  // ignorable ones are left out below
    // Greek and Cyrillic letters that are no accented form of another.
    for (char16_t c = 0x391; c < kRankedChars; ++c) {
        const QChar ch(c);
        if (ch.isLetter() && ch.decompositionTag() == QChar::NoDecomposition &&
            (ch.script() == QChar::Script_Greek || ch.script() == QChar::Script_Cyrillic))
            candidate(c);
    }
    // Characters without a primary weight (the soft hyphen, controls) are
    // left out: c + "b" sorts above "az" and c + "a" below "b" only when c
    // weighs nothing.
    const QString az = QStringLiteral("az"), b = QStringLiteral("b");
    std::erase_if(chars, [&](char16_t c) {
        return collator_.compare(Str(c) + u'b', az) > 0 && collator_.compare(Str(c) + u'a', b) < 0;
    });
    std::stable_sort(chars.begin(), chars.end(),
                     [&](char16_t a, char16_t b) { return collator_.compare(Str(a), Str(b)) < 0; });
    if (chars.size() < 2)
        return;
    lowest_ = Str(chars.front());
    highest_ = Str(chars.back());
    int rank = 1;
    char16_t last = chars[0];
    slot(last) = 1;
    leaders_.push_back(last);
    for (size_t i = 1; i < chars.size(); ++i) {
        const char16_t c = chars[i];
        const bool ascii = c < 0x80 && last < 0x80;
        if (primaryBelow(Str(last), Str(c))) {
            // A free rank where the script changes, for what falls in between.
            const int next = rank + (QChar(c).script() != QChar(last).script() ? 2 : 1);
            if (next > 253)
                break;  // what is left ends the keys
            if (next == rank + 2)
                free_[static_cast<size_t>(rank + 1)] = true;
            rank = next;
            slot(c) = static_cast<uint8_t>(rank);
            leaders_.push_back(c);
            last = c;
        } else if (ascii || primaryEqual(Str(last), Str(c))) {
            slot(c) = static_cast<uint8_t>(rank);
        }
    }
    free_[static_cast<size_t>(rank + 1)] = true;
}

// Letters must not form contractions (as "ch" does in Czech): two-letter
// strings must sort as their rank pairs do. A script that has some loses
// its letters' ranks.
void FastRanks::checkPairs(char16_t from, char16_t to, bool ascii)
{
    std::vector<char16_t> letters;
    for (char16_t c = from; c <= to; ++c)
        if (rank_[c] != 0 && QChar(c).isLetter())
            letters.push_back(c);
    std::vector<QString> pairs;
    for (char16_t x : letters)
        for (char16_t y : letters)
            pairs.push_back(Str(x) + QChar(y));
    auto pairRank = [&](const QString &p) { return rank_[p[0].unicode()] * 256 + rank_[p[1].unicode()]; };
    std::stable_sort(pairs.begin(), pairs.end(), [&](const QString &p, const QString &q) { return pairRank(p) < pairRank(q); });
    for (size_t i = 1; i < pairs.size(); ++i) {
        if (collator_.compare(pairs[i - 1], pairs[i]) > 0) {
            const QChar::Script script = QChar(from).script();
            for (char16_t c = ascii ? 0x20 : from; c < (ascii ? 0x7F : kRankedChars); ++c)
                if (QChar(c).isLetter() && (ascii || QChar(c).script() == script))
                    rank_[c] = 0;
            if (ascii)
                classify_ = false;  // single letters no longer tell where a text goes
            return;
        }
    }
}

// Accented letters share the rank of their base letter when they differ
// from it only below the primary level and are no expansion (as a German
// "ä" sorted as "ae" would be).
void FastRanks::rankAccentedLetters()
{
    for (char16_t c = 0xC0; c < kRankedChars; ++c) {
        const QString decomposition = QChar(c).decomposition();
        if (QChar(c).decompositionTag() != QChar::Canonical || decomposition.size() < 2)
            continue;
        const char16_t base = decomposition[0].unicode();
        if (base >= kRankedChars || rank_[base] == 0)
            continue;
        settled_[c] = true;
        const QString b = Str(base), a = Str(c);
        if (collator_.compare(a + highest_, b + lowest_) > 0 && collator_.compare(b + highest_, a + lowest_) > 0 &&
            collator_.compare(a + lowest_, b + lowest_ + lowest_) < 0)
            rank_[c] = rank_[base];
    }
}

// Ligatures the collation reads as two letters ("œ" as "oe"): two ranks,
// when the collator confirms it.
void FastRanks::rankExpansions()
{
    static const char16_t kLigatures[][3] = {{0x153, u'o', u'e'}, {0x152, u'O', u'E'}, {0xE6, u'a', u'e'},
                                             {0xC6, u'A', u'E'}, {0xDF, u's', u's'}, {0x133, u'i', u'j'},
                                             {0x132, u'I', u'J'}};
    for (const auto &l : kLigatures) {
        if (rank_[l[0]] != 0 || rank_[l[1]] == 0 || rank_[l[2]] == 0)
            continue;
        const QString c = Str(l[0]), pair = Str(l[1]) + QChar(l[2]);
        if (collator_.compare(c + highest_, pair + lowest_) > 0 && collator_.compare(pair + highest_, c + lowest_) > 0 &&
            collator_.compare(c + lowest_, pair + lowest_ + lowest_) < 0 &&
            collator_.compare(pair + lowest_, c + lowest_ + lowest_) < 0) {
            expansions_.push_back({l[0], {rank_[l[1]], rank_[l[2]]}});
            settled_[l[0]] = true;
        }
    }
}

uint8_t FastRanks::classify(char16_t u, bool *goesOn) const
{
    *goesOn = false;
    if (!classifiable(u))
        return 0;
    const std::lock_guard<std::mutex> lock(classifying_);
    if (classified_.empty())
        classified_.assign(0x10000, 0xFFFF);
    uint16_t &known = classified_[u];
    if (known == 0xFFFF) {
        known = 0;
        const QString c = Str(u);
        // The first rank whose character sorts after u.
        const auto after = std::upper_bound(leaders_.begin(), leaders_.end(), u, [&](char16_t x, char16_t leader) {
            return collator_.compare(Str(x), Str(leader)) < 0;
        });
        const bool hasBelow = after != leaders_.begin();
        const char16_t below = hasBelow ? *(after - 1) : 0;
        if (hasBelow && at(below) != 0 && primaryEqual(Str(below), c)) {
            known = at(below) | 0x100;
        } else if (after != leaders_.end() && at(*after) != 0 && primaryEqual(Str(*after), c)) {
            known = at(*after) | 0x100;
        } else if (hasBelow && at(below) != 0 && primaryBelow(Str(below), c) && free_[at(below) + 1u] &&
                   (after == leaders_.end() || primaryBelow(c, Str(*after)))) {
            known = static_cast<uint16_t>(at(below) + 1);  // in the free rank: the key ends
        }
    }
    *goesOn = (known & 0x100) != 0;
    return static_cast<uint8_t>(known & 0xFF);
}

// The C locale compares the case-folded UTF-16 units, one after the other:
// its keys are those units in an order-keeping code of one to three bytes
// (ASCII and Latin-1 punctuation in one, accented letters, Greek and Cyrillic
// in two), so that accents do not end them.
class CodeUnitRanks {
public:
    CharRanks ranksOf(char16_t u) const
    {
        CharRanks c;
        if (QChar::isSurrogate(u))
            return c;  // folded as a pair by the collation: left to it
        const auto f = static_cast<char16_t>(QChar::toCaseFolded(char32_t(u)));
        c.goesOn = true;
        if (f < 0xC0) {
            c.rank[0] = static_cast<uint8_t>(f);
            c.count = 1;
        } else if (f < 0x2000) {
            c.rank[0] = static_cast<uint8_t>(0xC0 + (f >> 8));
            c.rank[1] = static_cast<uint8_t>(f & 0xFF);
            c.count = 2;
        } else {
            c.rank[0] = static_cast<uint8_t>(0xE0 + (f >> 12));
            c.rank[1] = static_cast<uint8_t>((f >> 4) & 0xFF);
            c.rank[2] = static_cast<uint8_t>((f & 0xF) << 4);
            c.count = 3;
        }
        return c;
    }
    uint8_t bar() const { return '|'; }
};

constexpr int kKeyBytes = 59;

// True when the collator is the C locale's: plain comparison of folded units.
bool ComparesCodeUnits(const QCollator &collator)
{
    return collator.locale().language() == QLocale::C;
}

}  // namespace

// What the sort moves: the first sixteen key bytes as two numbers, the
// key's length and the row. The whole key is in keys_, found by the row.
struct RecordOrder::Item {
    uint64_t prefix[2];
    int32_t row;
    int32_t length : 31;
    uint32_t last : 1;
};

RecordOrder::RecordOrder(const PoiTable &table, int k, const QCollator &collator)
    : table_(table), k_(k), collator_(collator),
      // Without descriptions a key holds the field and two coordinates: 31 bytes are plenty.
      stride_(k == FieldDescription ? kKeyBytes : 31)
{
    static_assert(sizeof(Item) == 24, "a million of them are sorted");
    compareTies_ = collator.compare(QStringLiteral("a"), QStringLiteral("A")) == 0 &&
                   collator.sortKey(QStringLiteral("a")).compare(collator.sortKey(QStringLiteral("A"))) != 0;
    if (ComparesCodeUnits(collator))
        makeKeys(CodeUnitRanks());
    else
        makeKeys(FastRanks(collator));
}

template <typename Ranks>
void RecordOrder::makeKeys(const Ranks &ranks)
{
    // 8-bit texts are ranked byte by byte.
    std::array<CharRanks, 256> byteRanks;
    // The rank of a byte that puts one rank and lets the key go on; 0 for the others.
    std::array<uint8_t, 256> plainRank{};
    for (int b = 0; b < 256; ++b) {
        const CharRanks c = ranks.ranksOf(cp1252::Decode(static_cast<unsigned char>(b)));
        byteRanks[static_cast<size_t>(b)] = c;
        if (c.count == 1 && c.goesOn)
            plainRank[static_cast<size_t>(b)] = c.rank[0];
    }
    const int n = table_.lastRow();
    keys_.resize(static_cast<size_t>(n) * static_cast<size_t>(stride_));
    items_.resize(static_cast<size_t>(n));
    const uint8_t bar = ranks.bar();
    // Big tables make their keys on two cores, each its own rows.
    ForRowHalves(1, n, [&](int firstRow, int lastRow) {
        for (int row = firstRow; row <= lastRow; ++row) {
            uint8_t *key = keys_.data() + static_cast<size_t>(row - 1) * static_cast<size_t>(stride_);
            std::memset(key, 0, static_cast<size_t>(stride_));  // bytes past the key are 0
            int len = 0;
            bool open = true;
            auto add = [&](int f) {
                if (!open)
                    return;
                // Ranks of one character; false when the key ends with it.
                auto put = [&](const CharRanks &c) {
                    if (c.count == 0 || len + c.count > stride_)
                        return open = false;
                    for (int i = 0; i < c.count; ++i)
                        key[len++] = c.rank[i];
                    if (!c.goesOn)
                        open = false;  // a character in a free rank: only its place is known
                    return open;
                };
                table_.visitFieldRaw(
                    row, f,
                    [&](const char *bytes, qsizetype size) {
                        // Plain bytes in a tight loop, the rest one by one.
                        qsizetype i = 0;
                        const qsizetype room = std::min<qsizetype>(size, stride_ - len);
                        for (; i < room; ++i) {
                            const uint8_t r = plainRank[static_cast<unsigned char>(bytes[i])];
                            if (r == 0)
                                break;
                            key[len++] = r;
                        }
                        for (; i < size && put(byteRanks[static_cast<unsigned char>(bytes[i])]); ++i) {
                        }
                    },
                    [&](QStringView v) {
                        for (qsizetype i = 0; i < v.size() && put(ranks.ranksOf(v[i].unicode())); ++i) {
                        }
                    });
                if (open && len < stride_ && bar != 0)
                    key[len++] = bar;
                else
                    open = false;
            };
            add(k_);
            // Descriptions live elsewhere in memory: reading them for every row
            // costs more than the rare ties they would settle.
            for (int f = 1; f < kFieldCount && (f != FieldDescription || k_ == FieldDescription); ++f)
                if (f != k_)
                    add(f);
            // Made here and stored whole: setting the bit fields in place would read the
            // fresh page first, and its copy-on-write fault stops both cores to flush.
            Item item;
            for (int half = 0; half < 2; ++half) {
                uint64_t prefix = 0;
                for (int b = 0; b < 8; ++b)
                    prefix = (prefix << 8) | key[half * 8 + b];  // bytes past the key are 0
                item.prefix[half] = prefix;
            }
            item.row = row;
            item.length = len;
            // A row with no place is no POI: after every one.
            item.last = table_.lacksCoordinates(row) ? 1 : 0;
            items_[static_cast<size_t>(row - 1)] = item;
        }
    });
}

RecordOrder::~RecordOrder() = default;

bool RecordOrder::itemLess(const Item &a, const Item &b) const
{
    if (a.last != b.last)
        return b.last;
    const int common = std::min<int>(a.length, b.length);
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

namespace {

// Rows whose fields hold the same texts: equal records under any collation.
// Duplicated POIs are settled so, without the collation's keys.
bool SameTexts(const PoiTable &table, int rowA, int rowB)
{
    for (int f = 1; f < kFieldCount; ++f) {
        bool same = false;
        table.visitFieldRaw(
            rowA, f,
            [&](const char *a, qsizetype n) {
                table.visitFieldRaw(
                    rowB, f, [&](const char *b, qsizetype m) { same = n == m && std::memcmp(a, b, static_cast<size_t>(n)) == 0; },
                    [&](QStringView) {});
            },
            [&](QStringView a) {
                table.visitFieldRaw(rowB, f, [&](const char *, qsizetype) {}, [&](QStringView b) { same = a == b; });
            });
        if (!same)
            return false;
    }
    return true;
}

// Rows whose collation keys or records are kept for further ties; past that,
// they are made again at each tie: slower, but a table of ties cannot double
// the memory of a sort.
constexpr size_t kKeptTies = 1 << 16;

}  // namespace

int RecordOrder::tieOrder(int rowA, int rowB) const
{
    if (SameTexts(table_, rowA, rowB))
        return 0;
    // The collator and the caches are not for two threads at once; ties are rare.
    const std::lock_guard<std::mutex> lock(tying_);
    if (compareTies_)
        return collator_.compare(record(rowA), record(rowB));
    return fullKey(rowA).compare(fullKey(rowB));
}

QString RecordOrder::record(int row) const
{
    if (const auto it = records_.find(row); it != records_.end())
        return it->second;
    QString made = SortRecord(table_, row, k_);
    if (records_.size() < kKeptTies)
        records_.emplace(row, made);
    return made;
}

QCollatorSortKey RecordOrder::fullKey(int row) const
{
    // ICU sort keys, made only for rows whose fast keys tie (few: kept in a map).
    if (const auto it = full_.find(row); it != full_.end())
        return it->second;
    QCollatorSortKey made = collator_.sortKey(SortRecord(table_, row, k_));
    if (full_.size() < kKeptTies)
        full_.emplace(row, made);
    return made;
}

bool RecordOrder::less(int rowA, int rowB) const
{
    assert(!items_.empty());
    return itemLess(items_[static_cast<size_t>(rowA - 1)], items_[static_cast<size_t>(rowB - 1)]);
}

// Items whose keys share their first `depth` bytes, each prefix holding the
// key bytes from `base` on (base <= depth < base + 16).
struct RecordOrder::Bucket {
    Item *first;
    Item *end;
    int depth;
    int base;
    std::ptrdiff_t size() const { return end - first; }
};

namespace {

inline unsigned ByteAt(const uint64_t prefix[2], int at)
{
    return static_cast<unsigned>(prefix[at / 8] >> (56 - 8 * (at % 8))) & 0xFFu;
}

// Buckets this small are sorted by comparison: their keys are in the cache by then.
constexpr std::ptrdiff_t kLeafItems = 48;

}  // namespace

bool RecordOrder::sortedBefore(const Item &a, const Item &b, int base) const
{
    // As itemLess, for keys equal before `base`; records that tie keep their rows' order.
    if (a.last != b.last)
        return b.last;
    const int common = std::min<int>(a.length, b.length);
    bool tied = false;
    for (int half = 0; half < 2 && !tied; ++half) {
        if (a.prefix[half] != b.prefix[half]) {
            const int at = base + half * 8 + std::countl_zero(a.prefix[half] ^ b.prefix[half]) / 8;
            if (at < common)
                return a.prefix[half] < b.prefix[half];
            tied = true;
        }
    }
    if (!tied && common > base + 16) {
        const uint8_t *ka = keys_.data() + static_cast<size_t>(a.row - 1) * static_cast<size_t>(stride_);
        const uint8_t *kb = keys_.data() + static_cast<size_t>(b.row - 1) * static_cast<size_t>(stride_);
        const int c = std::memcmp(ka + base + 16, kb + base + 16, static_cast<size_t>(common - base - 16));
        if (c != 0)
            return c < 0;
    }
    const int tie = tieOrder(a.row, b.row);
    return tie != 0 ? tie < 0 : a.row < b.row;
}

// One byte of the keys further: the bucket's items put in order by the byte
// at its depth (in place), the parts of more than one item into `parts`.
// False when the bytes cannot order it: a key ends there (only the
// collation knows where it goes), or the bucket is small; the bucket then
// says how far its keys are equal.
bool RecordOrder::splitBucket(Bucket &bucket, std::vector<Bucket> &parts)
{
    const std::ptrdiff_t n = bucket.size();
    std::array<std::ptrdiff_t, 256> count;
    for (;;) {
        if (n <= kLeafItems || bucket.depth >= stride_)
            return false;
        if (bucket.depth == bucket.base + 16) {
            // The next sixteen bytes into the prefixes: one read of each key.
            for (Item *it = bucket.first; it != bucket.end; ++it) {
                uint8_t bytes[16] = {};
                const uint8_t *key = keys_.data() + static_cast<size_t>(it->row - 1) * static_cast<size_t>(stride_);
                std::memcpy(bytes, key + bucket.depth, static_cast<size_t>(std::min(16, stride_ - bucket.depth)));
                for (int half = 0; half < 2; ++half) {
                    uint64_t prefix = 0;
                    for (int b = 0; b < 8; ++b)
                        prefix = (prefix << 8) | bytes[half * 8 + b];
                    it->prefix[half] = prefix;
                }
            }
            bucket.base = bucket.depth;
        }
        const int at = bucket.depth - bucket.base;
        count.fill(0);
        int shortest = stride_;
        for (const Item *it = bucket.first; it != bucket.end; ++it) {
            ++count[ByteAt(it->prefix, at)];
            shortest = std::min<int>(shortest, it->length);
        }
        if (shortest <= bucket.depth)
            return false;
        if (count[ByteAt(bucket.first->prefix, at)] != n)
            break;
        ++bucket.depth;  // one byte for all: nothing to move
    }
    // Every item straight to its part, cycle by cycle.
    const int at = bucket.depth - bucket.base;
    std::array<Item *, 256> next, stop;
    Item *p = bucket.first;
    for (size_t b = 0; b < 256; ++b) {
        next[b] = p;
        p += count[b];
        stop[b] = p;
    }
    for (size_t b = 0; b < 256; ++b) {
        while (next[b] != stop[b]) {
            Item held = *next[b];
            size_t hb = ByteAt(held.prefix, at);
            while (hb != b) {
                std::swap(held, *next[hb]++);
                hb = ByteAt(held.prefix, at);
            }
            *next[b]++ = held;
        }
    }
    Item *start = bucket.first;
    for (size_t b = 0; b < 256; ++b) {
        if (count[b] > 1)
            parts.push_back({start, start + count[b], bucket.depth + 1, bucket.base});
        start += count[b];
    }
    return true;
}

void RecordOrder::sortLeaf(const Bucket &bucket)
{
    const auto before = [this, base = bucket.base](const Item &a, const Item &b) { return sortedBefore(a, b, base); };
    if (bucket.size() < 100000) {
        std::sort(bucket.first, bucket.end, before);
        return;
    }
    // Keys that cannot split a big bucket: each half on its own core, then one merge.
    Item *middle = bucket.first + bucket.size() / 2;
    RunBoth([&] { std::sort(middle, bucket.end, before); }, [&] { std::sort(bucket.first, middle, before); });
    std::inplace_merge(bucket.first, middle, bucket.end, before);
}

void RecordOrder::sortBucket(const Bucket &bucket)
{
    Bucket leaf = bucket;
    std::vector<Bucket> parts;
    if (!splitBucket(leaf, parts)) {
        sortLeaf(leaf);
        return;
    }
    for (const Bucket &part : parts)
        sortBucket(part);
}

std::vector<int> RecordOrder::sortedRows()
{
    // Rows without a place after the others; then a byte of the keys at a
    // time (most keys differ early), comparison sorts for what is left.
    Item *first = items_.data();
    Item *end = first + items_.size();
    Item *places = std::partition(first, end, [](const Item &item) { return !item.last; });
    std::vector<Bucket> work;
    for (const Bucket &b : {Bucket{first, places, 0, 0}, Bucket{places, end, 0, 0}})
        if (b.size() > 1)
            work.push_back(b);
    // Big buckets are split here until each core can take about half of the items.
    const std::ptrdiff_t total = end - first;
    if (total >= 100000) {
        for (;;) {
            const auto biggest = std::max_element(work.begin(), work.end(),
                                                  [](const Bucket &a, const Bucket &b) { return a.size() < b.size(); });
            if (biggest == work.end() || biggest->size() * 3 < total)
                break;
            std::vector<Bucket> parts;
            if (!splitBucket(*biggest, parts))
                break;  // sorted in halves on both cores
            work.erase(biggest);
            work.insert(work.end(), parts.begin(), parts.end());
        }
        // The buckets in two shares of about the same size, the biggest first.
        std::sort(work.begin(), work.end(), [](const Bucket &a, const Bucket &b) { return a.size() > b.size(); });
        std::vector<Bucket> shares[2];
        std::ptrdiff_t sizes[2] = {0, 0};
        for (const Bucket &b : work) {
            const int to = sizes[0] <= sizes[1] ? 0 : 1;
            shares[to].push_back(b);
            sizes[to] += b.size();
        }
        auto sortShare = [this](const std::vector<Bucket> &share) {
            for (const Bucket &b : share)
                sortBucket(b);
        };
        RunBoth([&] { sortShare(shares[1]); }, [&] { sortShare(shares[0]); });
    } else {
        for (const Bucket &b : work)
            sortBucket(b);
    }
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
#if defined(__GLIBC__)
    // A big table's keys leave tens of megabytes free inside the heap, which
    // the C library would keep: the table would seem to need them for good.
    if (table.lastRow() >= 100000) {
        order = std::vector<int>();
        malloc_trim(0);
    }
#endif
}

}  // namespace orvalis
