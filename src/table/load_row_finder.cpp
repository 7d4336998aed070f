#include "table/load_row_finder.h"

#include <algorithm>
#include <cstring>

namespace orvalis {

namespace {

// What a coordinate text can hold: blanks around, a sign, digits, either
// separator, an exponent; and the bar between the fields of a sort record.
constexpr char16_t kCoordinateChars[] = u" \t+-.,0123456789eE|";

// Characters a collation may hold equal must also read as the same number.
int ReadingClass(char16_t c)
{
    if (c == u' ' || c == u'\t')
        return 1;
    if (c == u'e' || c == u'E')
        return 2;
    return 100 + c;
}

QString Str(char16_t c)
{
    return QString(QChar(c));
}

}  // namespace

LoadRowFinder::LoadRowFinder(const QCollator &collator, qint64 position, Limits limits)
    : position_(position), limits_(limits), target_(position)
{
    std::vector<char16_t> chars;
    const QString az = QStringLiteral("az"), b = QStringLiteral("b");
    for (const char16_t *p = kCoordinateChars; *p; ++p) {
        // A character without weight vanishes from comparisons: texts holding it are not ranked.
        if (collator.compare(Str(*p) + u'b', az) > 0 && collator.compare(Str(*p) + u'a', b) < 0)
            continue;
        chars.push_back(*p);
    }
    if (std::find(chars.begin(), chars.end(), u'|') == chars.end())
        return;
    std::stable_sort(chars.begin(), chars.end(), [&](char16_t x, char16_t y) { return collator.compare(Str(x), Str(y)) < 0; });
    uint8_t rank = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
        if (i == 0 || collator.compare(Str(chars[i - 1]), Str(chars[i])) != 0) {
            ++rank;
            shown_.push_back(chars[i]);
        } else if (ReadingClass(chars[i - 1]) != ReadingClass(chars[i])) {
            return;
        }
        rank_[chars[i]] = rank;
    }
    // Two-character texts must sort as their rank pairs (no contraction), and
    // a first difference must decide whatever follows it.
    std::vector<QString> pairs;
    for (const char16_t x : chars)
        for (const char16_t y : chars)
            pairs.push_back(Str(x) + QChar(y));
    const auto pairRank = [&](const QString &p) { return rank_[p[0].unicode()] * 256 + rank_[p[1].unicode()]; };
    std::stable_sort(pairs.begin(), pairs.end(), [&](const QString &p, const QString &q) { return pairRank(p) < pairRank(q); });
    for (size_t i = 1; i < pairs.size(); ++i) {
        const int c = collator.compare(pairs[i - 1], pairs[i]);
        if (pairRank(pairs[i - 1]) < pairRank(pairs[i]) ? c >= 0 : c != 0)
            return;
    }
    const QString highest = Str(shown_.back()) + shown_.back() + QStringLiteral("zz");
    for (size_t r = 1; r < shown_.size(); ++r)
        if (collator.compare(Str(shown_[r - 1]) + highest, Str(shown_[r]) + shown_.front()) >= 0)
            return;
    bar_ = rank_[u'|'];
    radix_ = rank + 1u;
    uint64_t span = radix_;
    keyChars_ = 1;
    while (span * radix_ <= (uint64_t{1} << 32)) {
        span *= radix_;
        ++keyChars_;
    }
    usable_ = true;
}

bool LoadRowFinder::encode(QStringView lat, QStringView lon, Ranks &out) const
{
    if (lat.size() + lon.size() + 2 > kChars)
        return false;
    out.fill(0);
    // Every character looked up, one test at the end: a character without a
    // rank, or a bar inside a text, refuses the row.
    bool refused = false;
    int n = 0;
    for (const QStringView v : {lat, lon}) {
        for (const QChar ch : v) {
            const char16_t u = ch.unicode();
            const uint8_t r = u < 128 ? rank_[u] : 0;
            refused |= r == 0 || r == bar_;
            out[static_cast<size_t>(n++)] = r;
        }
        out[static_cast<size_t>(n++)] = bar_;
    }
    return !refused;
}

uint32_t LoadRowFinder::keyAt(const Ranks &r, int from) const
{
    uint32_t key = 0;
    for (int i = from; i < from + keyChars_; ++i)
        key = key * radix_ + (i < kChars ? r[static_cast<size_t>(i)] : 0u);
    return key;
}

bool LoadRowFinder::see(QStringView latitude, QStringView longitude)
{
    Ranks r;
    if (!encode(latitude, longitude, r))
        return false;
    if (std::memcmp(r.data(), prefix_.data(), static_cast<size_t>(prefixLength_)) != 0)
        return true;  // settled in an earlier pass
    ++seen_;
    if (pass_ == 0 && static_cast<size_t>(position_) <= limits_.heapRows && position_ >= 1) {
        // The smallest `position` rows so far, the largest of them on top.
        if (smallest_.size() < static_cast<size_t>(position_)) {
            smallest_.push(r);
        } else if (r < smallest_.top()) {
            smallest_.pop();
            smallest_.push(r);
        }
    } else if (whole_) {
        rows_.push_back(r);
    } else {
        keys_.push_back(keyAt(r, prefixLength_));
    }
    return true;
}

bool LoadRowFinder::endPass()
{
    if (pass_++ == 0)
        total_ = seen_;
    seen_ = 0;
    if (position_ < 1 || position_ > total_)
        return true;
    if (!smallest_.empty()) {
        found_ = smallest_.top();
        smallest_ = {};
        return true;
    }
    const auto nth = static_cast<std::ptrdiff_t>(target_ - 1);
    if (whole_) {
        std::nth_element(rows_.begin(), rows_.begin() + nth, rows_.end());
        found_ = rows_[static_cast<size_t>(nth)];
        rows_ = {};
        return true;
    }
    std::nth_element(keys_.begin(), keys_.begin() + nth, keys_.end());
    const uint32_t key = keys_[static_cast<size_t>(nth)];
    qint64 below = 0, equal = 0;
    for (const uint32_t k : keys_) {
        below += k < key ? 1 : 0;
        equal += k == key ? 1 : 0;
    }
    keys_ = {};
    target_ -= below;
    // The key's characters join the prefix the candidates share.
    bool ended = false;
    uint32_t rest = key;
    for (int i = keyChars_ - 1; i >= 0; --i) {
        const int at = prefixLength_ + i;
        const auto digit = static_cast<uint8_t>(rest % radix_);
        rest /= radix_;
        if (at < kChars)
            prefix_[static_cast<size_t>(at)] = digit;
        ended = ended || (digit == 0 && at < kChars);
    }
    prefixLength_ = std::min(prefixLength_ + keyChars_, kChars);
    if (ended || prefixLength_ == kChars) {
        found_ = prefix_;
        return true;
    }
    whole_ = static_cast<size_t>(equal) <= limits_.fullRows;
    return false;
}

QString LoadRowFinder::text(int part) const
{
    QString out;
    int bars = 0;
    for (const uint8_t r : found_) {
        if (r == 0)
            break;
        if (r == bar_) {
            if (bars++ == part)
                break;
            continue;
        }
        if (bars == part)
            out += QChar(shown_[static_cast<size_t>(r - 1)]);
    }
    return out;
}

}  // namespace orvalis
