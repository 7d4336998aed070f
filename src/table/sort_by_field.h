#pragma once

#include "table/poi_table.h"

#include <QCollator>
#include <QLocale>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace orvalis {

// Leaves what it makes uninitialised: a million sort keys are written by the
// threads that make them, not cleared beforehand on one.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U> &) noexcept
    {
    }
    template <typename U>
    void construct(U *p) noexcept
    {
        ::new (static_cast<void *>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U *p, Args &&...args)
    {
        ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
    }
};

// The collation every table sort uses: the user's locale, case ignored.
QCollator TableCollator(const QLocale &locale);

// The sort record of a row for key field k: field k, then the other fields
// 1..6 in increasing order, each followed by '|'. N° is never part of it.
QString SortRecord(const PoiTable &table, int row, int k);

// The order of rows by their sort records for key field k, as the collator
// sees it: short byte keys decide almost every comparison, the collation
// itself (with cached sort keys) the rest. Rows without coordinates come
// after every POI.
class RecordOrder {
public:
    RecordOrder(const PoiTable &table, int k, const QCollator &collator);
    ~RecordOrder();
    RecordOrder(const RecordOrder &) = delete;
    RecordOrder &operator=(const RecordOrder &) = delete;

    // Row a's record sorts strictly before row b's.
    bool less(int rowA, int rowB) const;
    // Every row, in sorted order, equal records in the order of their rows;
    // afterwards less() may not be used.
    std::vector<int> sortedRows();
    // The rows whose fast keys could not be told apart, held for the collation:
    // what the keys cost beyond themselves (benchmarks and tests watch it).
    int rowsHeldForTies() const { return static_cast<int>(full_.size() + records_.size()); }

private:
    struct Item;
    struct Bucket;
    template <typename Ranks>
    void makeKeys(const Ranks &ranks);
    bool itemLess(const Item &a, const Item &b) const;
    // Records whose fast keys tie, in the collator's own order.
    bool tieLess(int rowA, int rowB) const { return tieOrder(rowA, rowB) < 0; }
    int tieOrder(int rowA, int rowB) const;
    // The sort's own order: items of one bucket, equal records by row.
    bool sortedBefore(const Item &a, const Item &b, int base) const;
    bool splitBucket(Bucket &bucket, std::vector<Bucket> &parts);
    void sortBucket(const Bucket &bucket);
    void sortLeaf(const Bucket &bucket);
    QCollatorSortKey fullKey(int row) const;
    QString record(int row) const;

    const PoiTable &table_;
    int k_;
    const QCollator &collator_;
    int stride_;
    std::vector<Item, UninitialisedAllocator<Item>> items_;
    std::vector<uint8_t, UninitialisedAllocator<uint8_t>> keys_;
    mutable std::unordered_map<int, QCollatorSortKey> full_;
    // The C locale's sort keys ignore the case setting that compare() honours:
    // there ties are settled by compare() on the records.
    bool compareTies_ = false;
    mutable std::unordered_map<int, QString> records_;
    mutable std::mutex tying_;
};

// Sorts rows 1..n by their records under the collator. Rows are moved whole
// (fields 1..6), so a field holding '|' stays intact; N° stays with the position.
void SortByField(PoiTable &table, int k, const QCollator &collator);

}  // namespace orvalis
