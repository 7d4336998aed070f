#pragma once

#include <QByteArray>

namespace orvalis {

// What a reader found besides its POIs.
struct ReadResult {
    int counter = 0;       // POI number of the last record: the POI count to show
    int unknownBytes = 0;  // bytes that were no known record type (one beep each, collapsed)
    bool truncated = false;  // reading stopped at a damaged record
    // CSV: records that gave no POI (no two numbers), the first of them
    // (1 is the file's first record), and a header naming no coordinates.
    int skipped = 0;
    int firstSkipped = 0;
    bool headerWithoutCoordinates = false;
    bool routePoints = false;  // GPX: route or track points met (they are not POIs)
    int notPoints = 0;         // GeoJSON: features that are no point (lines, areas, none), left out
    // A format's own account of a reading that went wrong, which its codec's
    // verdict says (GPI, KMZ); the code page of texts that cannot be read (GPI).
    int status = 0;
    int codePage = 0;
    // GeoJSON: the first number a double cannot hold, as written (its record is skipped).
    QByteArray badNumber;
    // A reading that gave bytes back (ReadPages::GivenBack) and then needed them:
    // nothing it read counts; read a fresh copy of the file with its pages kept.
    bool bytesNeededAgain = false;
};

}  // namespace orvalis
