#pragma once

#include "files/sorted_spool.h"
#include "geo/geodesy.h"

#include <QtGlobal>
#include <cstdint>
#include <functional>
#include <vector>

namespace orvalis {

// The POIs within a distance of a point, nearest first and equal distances in
// file order, chosen as records stream by: `wanted` sees each record's
// coordinates in turn and says whether it lies within the limit; the caller
// then keeps that record somewhere (a spool) and says where with `keep`.
// What was found waits in a temporary file, sorted in runs: memory stays
// bounded however many POIs lie within the limit.
class NearPoint {
public:
    struct Found {
        int32_t metres;  // the program's distance: whole metres, truncated
        float bearing;
        int number;  // among the records `wanted` saw, from 1
        qint64 at;   // where the caller keeps the record
    };

    // `runItems`: how many found wait in memory before they go to the file (tests take few).
    NearPoint(float lat, float lon, long double limitMetres, size_t runItems = size_t(1) << 16);
    bool wanted(long double lat, long double lon);
    // The record `wanted` took last.
    void keep(qint64 at);
    // What was kept, nearest first (again at each call); false when the temporary file failed.
    bool eachNearestFirst(const std::function<void(const Found &)> &visit);
    qint64 count() const { return found_.size(); }

private:
    float lat_;
    long double limit_;
    BaseMeasures base_;
    int number_ = 0;
    BaseMeasures::Both last_{};
    struct Nearer {
        bool operator()(const Found &a, const Found &b) const { return a.metres != b.metres ? a.metres < b.metres : a.number < b.number; }
    };
    SortedSpool<Found, Nearer> found_;
};

}  // namespace orvalis
