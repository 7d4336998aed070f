#pragma once

#include "geo/geodesy.h"

#include <QtGlobal>
#include <cstdint>
#include <vector>

namespace orvalis {

// The POIs within a distance of a point, nearest first and equal distances in
// file order, chosen as records stream by: `wanted` sees each record's
// coordinates in turn and says whether it lies within the limit; the caller
// then keeps that record somewhere (a spool) and says where with `keep`.
class NearPoint {
public:
    struct Found {
        int32_t metres;  // the program's distance: whole metres, truncated
        float bearing;
        int number;  // among the records `wanted` saw, from 1
        qint64 at;   // where the caller keeps the record
    };

    NearPoint(float lat, float lon, long double limitMetres);
    bool wanted(long double lat, long double lon);
    // The record `wanted` took last.
    void keep(qint64 at);
    // What was kept, nearest first.
    std::vector<Found> nearestFirst() const;

private:
    float lat_;
    long double limit_;
    BaseMeasures base_;
    int number_ = 0;
    BaseMeasures::Both last_{};
    std::vector<Found> found_;
};

}  // namespace orvalis
