#include "table/poi_table.h"

#include "table/row_halves.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <unordered_map>

namespace orvalis {

PoiTable::PoiTable() : numbers_(1, 0), rows_(1), ids_{newId()} {}

QString PoiTable::field(int row, int f) const
{
    if (!isValidRow(row) || f < 0 || f >= kFieldCount)
        return {};
    if (f == FieldNumber) {
        const int n = number(row);
        return n == 0 ? QString() : QString::number(n);
    }
    return rows_[static_cast<size_t>(row - 1)][f].toString();
}

bool PoiTable::fieldIsEmpty(int row, int f) const
{
    if (!isValidRow(row) || f < 0 || f >= kFieldCount)
        return true;
    if (f == FieldNumber)
        return number(row) == 0;
    return rows_[static_cast<size_t>(row - 1)][f].isEmpty();
}

void PoiTable::setFieldLatin1(int row, int f, const char *chars, int length)
{
    if (!isValidRow(row) || f <= FieldNumber || f >= kFieldCount)
        return;
    rows_[static_cast<size_t>(row - 1)][f].setLatin1(chars, length);
}

void PoiTable::setFieldWindows1252(int row, int f, QByteArrayView bytes)
{
    if (!isValidRow(row) || f <= FieldNumber || f >= kFieldCount)
        return;
    if (textsTogether_)
        rows_[static_cast<size_t>(row - 1)][f].setWindows1252(bytes.data(), bytes.size(), texts_);
    else
        rows_[static_cast<size_t>(row - 1)][f].setWindows1252(bytes.data(), bytes.size());
}

void PoiTable::setField(int row, int f, const QString &text)
{
    if (!isValidRow(row) || f < 0 || f >= kFieldCount)
        return;
    if (f == FieldNumber) {
        bool ok = false;
        const int n = text.toInt(&ok);
        setNumber(row, ok && n > 0 ? n : 0);
        return;
    }
    rows_[static_cast<size_t>(row - 1)][f].set(text);
}

void PoiTable::setRowCount(int count)
{
    const size_t rows = static_cast<size_t>(std::max(count, 2) - 1);
    numbers_.resize(rows, 0);
    rows_.resize(rows);
    if (ids_.size() > rows)
        ids_.resize(rows);
    while (ids_.size() < rows)
        ids_.push_back(newId());
}

void PoiTable::reserveRows(int rows)
{
    // Not for a table of a row or two, whose texts come and go one at a time.
    textsTogether_ = textsTogether_ || rows >= 1024;
    numbers_.reserve(static_cast<size_t>(std::max(rows, 1)));
    rows_.reserve(static_cast<size_t>(std::max(rows, 1)));
    ids_.reserve(static_cast<size_t>(std::max(rows, 1)));
}

void PoiTable::blankAll()
{
    std::fill(numbers_.begin(), numbers_.end(), 0);
    for (Row &r : rows_)
        r = Row();
    texts_.clear();  // no text is left in it
}

PoiTable::TakenRow PoiTable::takeRow(int row)
{
    TakenRow taken;
    if (!isValidRow(row))
        return taken;
    const auto at = static_cast<size_t>(row - 1);
    taken.row = row;
    taken.id = ids_[at];
    taken.lastNumber = numbers_.back();
    taken.onlyRow = numbers_.size() == 1;
    taken.fields = std::move(rows_[at].fields);
    for (CompactText &text : taken.fields)
        text.makeOwn();  // it may outlive the table's texts
    rows_.erase(rows_.begin() + (row - 1));
    ids_.erase(ids_.begin() + (row - 1));
    if (!taken.onlyRow) {
        numbers_.pop_back();
    } else {
        numbers_[0] = 0;
        rows_.emplace_back();
        ids_.push_back(newId());
    }
    return taken;
}

void PoiTable::restoreRow(const TakenRow &taken)
{
    if (taken.row < 1)
        return;
    if (taken.onlyRow && isEmptyForAdd()) {
        rows_[0].fields = taken.fields;
        numbers_[0] = taken.lastNumber;
        ids_[0] = taken.id;
        return;
    }
    const int row = std::min(taken.row, lastRow() + 1);
    Row content;
    content.fields = taken.fields;
    rows_.insert(rows_.begin() + (row - 1), std::move(content));
    ids_.insert(ids_.begin() + (row - 1), taken.id);
    numbers_.push_back(taken.lastNumber);
}

int PoiTable::rowOfId(RowId id) const
{
    const auto it = std::find(ids_.begin(), ids_.end(), id);
    return it == ids_.end() ? 0 : static_cast<int>(it - ids_.begin()) + 1;
}

namespace {

// Room for `more` items, at least doubling: tables built a row at a time
// (near's kept rows) must not copy every row at every append.
template <typename V>
void RoomFor(V &v, size_t more)
{
    if (v.capacity() - v.size() < more)
        v.reserve(std::max(v.size() + more, v.capacity() * 2));
}

}  // namespace

void PoiTable::appendRows(PoiTable &&other)
{
    if (other.isEmptyForAdd())
        return;
    if (isEmptyForAdd()) {
        numbers_ = std::move(other.numbers_);
        rows_ = std::move(other.rows_);
        ids_.clear();
    } else {
        const int offset = lastRow();
        RoomFor(numbers_, other.numbers_.size());
        RoomFor(rows_, other.rows_.size());
        for (size_t i = 0; i < other.rows_.size(); ++i) {
            numbers_.push_back(other.numbers_[i] == 0 ? 0 : other.numbers_[i] + offset);
            rows_.push_back(std::move(other.rows_[i]));
        }
    }
    // The rows are this table's POIs now: identities of its own.
    RoomFor(ids_, rows_.size() - std::min(ids_.size(), rows_.size()));
    while (ids_.size() < rows_.size())
        ids_.push_back(newId());
    texts_.adopt(std::move(other.texts_));
    textsTogether_ = textsTogether_ || other.textsTogether_;
    other = PoiTable();
}

namespace {

// The rows that move, cycle after cycle, each cycle from its first row on
// (the row that gives a row its content follows it), its last row marked
// with `cycleEnd`. Following a cycle waits for memory at every step: several
// walkers follow it at once from different rows, each stopping where another
// started, and their pieces are joined afterwards.
std::vector<uint32_t> CycleWalk(const std::vector<int> &order, uint32_t cycleEnd)
{
    const size_t n = order.size();
    auto next = [&](uint32_t at) { return static_cast<uint32_t>(order[at] - 1); };
    std::vector<uint8_t> placed(n, 0);
    std::vector<std::vector<uint32_t>> pieces;
    std::unordered_map<uint32_t, uint32_t> pieceStartingAt;
    constexpr int kWalkers = 16;
    struct Walker {
        uint32_t at = 0;
        uint32_t piece = 0;
        bool walking = false;
    };
    std::array<Walker, kWalkers> walkers;
    size_t candidate = 0;
    // A walker starts at the next row that moves and is not walked yet.
    auto start = [&](Walker &w) {
        while (candidate < n && (placed[candidate] || next(static_cast<uint32_t>(candidate)) == candidate))
            ++candidate;
        w.walking = candidate < n;
        if (!w.walking)
            return;
        w.at = static_cast<uint32_t>(candidate);
        w.piece = static_cast<uint32_t>(pieces.size());
        pieces.emplace_back(1, w.at);
        pieceStartingAt.emplace(w.at, w.piece);
        placed[candidate] = 1;
        __builtin_prefetch(&order[candidate]);
    };
    for (Walker &w : walkers)
        start(w);
    for (int walking = kWalkers; walking > 0;) {
        walking = 0;
        for (Walker &w : walkers) {
            if (!w.walking)
                continue;
            ++walking;
            const uint32_t from = next(w.at);
            if (placed[from]) {
                start(w);  // the start of a piece: this one ends here
                continue;
            }
            placed[from] = 1;
            pieces[w.piece].push_back(from);
            w.at = from;
            __builtin_prefetch(&order[from]);
        }
    }
    // A piece is followed by the piece that starts at the row after its last.
    std::vector<uint32_t> walk;
    size_t moving = 0;
    for (const auto &piece : pieces)
        moving += piece.size();
    walk.reserve(moving);
    std::vector<uint8_t> joined(pieces.size(), 0);
    for (uint32_t first = 0; first < pieces.size(); ++first) {
        for (uint32_t p = first; !joined[p];) {
            joined[p] = 1;
            walk.insert(walk.end(), pieces[p].begin(), pieces[p].end());
            std::vector<uint32_t>().swap(pieces[p]);
            p = pieceStartingAt.at(next(walk.back()));
            if (p == first)
                walk.back() |= cycleEnd;
        }
    }
    return walk;
}

}  // namespace

void PoiTable::permuteContent(const std::vector<int> &order)
{
    assert(order.size() == rows_.size());
    // In place, cycle by cycle: a second copy of a million rows is not needed.
    // The cycles are walked first on `order` alone, which is small; the rows
    // are then moved along that list, fetched ahead of their turn (a walk from
    // row to row would wait for memory at every step). Rows that stay are not
    // touched at all.
    constexpr uint32_t kCycleEnd = 0x80000000u;
    const std::vector<uint32_t> walk = CycleWalk(order, kCycleEnd);
    // A row's fields hold no pointer into the row itself: their bytes move as they are.
    auto bytesOf = [this](size_t at) { return reinterpret_cast<unsigned char *>(static_cast<void *>(&rows_[at])); };
    struct Held {
        alignas(Row) unsigned char bytes[sizeof(Row)];
        RowId id = 0;
    };
    auto hold = [&](size_t at, Held &h) {
        std::memcpy(h.bytes, bytesOf(at), sizeof(Row));
        h.id = ids_[at];
    };
    auto put = [&](size_t at, const Held &h) {
        std::memcpy(bytesOf(at), h.bytes, sizeof(Row));
        ids_[at] = h.id;
    };
    // Moves along walk[begin, end). A stretch that starts inside a cycle is
    // given the row its cycle started with; one that ends inside a cycle, the
    // row the next stretch takes first.
    auto moveAlong = [&](size_t begin, size_t end, const Held *cycleStart, const Held *nextFirst) {
        constexpr size_t kAhead = 16;
        Held held;
        bool holding = cycleStart != nullptr;
        if (holding)
            held = *cycleStart;
        for (size_t i = begin; i < end; ++i) {
            if (i + kAhead < end) {
                const unsigned char *ahead = bytesOf(walk[i + kAhead] & ~kCycleEnd);
                __builtin_prefetch(ahead);
                __builtin_prefetch(ahead + sizeof(Row) - 1);
            }
            const size_t at = walk[i] & ~kCycleEnd;
            if (!holding) {
                hold(at, held);
                holding = true;
            }
            if (walk[i] & kCycleEnd) {
                put(at, held);
                holding = false;
            } else if (i + 1 == end && nextFirst) {
                put(at, *nextFirst);
            } else {
                const size_t from = static_cast<size_t>(order[at] - 1);
                std::memcpy(bytesOf(at), bytesOf(from), sizeof(Row));
                ids_[at] = ids_[from];
            }
        }
    };
    const size_t middle = walk.size() / 2;
    if (walk.size() < 100000) {
        moveAlong(0, walk.size(), nullptr, nullptr);
        return;
    }
    // Big tables on two cores, each half of the walk; a cycle cut in two (a
    // random order is mostly one long cycle) hands its two ends over in copies.
    const bool cut = !(walk[middle - 1] & kCycleEnd);
    Held cycleStart, nextFirst;
    if (cut) {
        size_t start = middle - 1;
        while (start > 0 && !(walk[start - 1] & kCycleEnd))
            --start;
        hold(walk[start] & ~kCycleEnd, cycleStart);
        hold(walk[middle] & ~kCycleEnd, nextFirst);
    }
    RunBoth([&] { moveAlong(middle, walk.size(), cut ? &cycleStart : nullptr, nullptr); },
            [&] { moveAlong(0, middle, nullptr, cut ? &nextFirst : nullptr); });
}

void PoiTable::squeeze()
{
    // Only worth a copy of every row when much room is left unused.
    if (rows_.capacity() > rows_.size() + rows_.size() / 8 + 16) {
        numbers_.shrink_to_fit();
        rows_.shrink_to_fit();
        ids_.shrink_to_fit();
    }
}

int PoiTable::countWithCoordinates(int first, int last) const
{
    int count = 0;
    for (int row = std::max(first, 1); row <= std::min(last, lastRow()); ++row)
        count += hasCoordinates(row) ? 1 : 0;
    return count;
}

bool PoiTable::isEmptyForMenu() const
{
    return rowCount() == 2 && (fieldIsEmpty(1, FieldLatitude) || fieldIsEmpty(1, FieldLongitude));
}

bool PoiTable::isEmptyForAdd() const
{
    return rowCount() == 2 && number(1) == 0;
}

}  // namespace orvalis
