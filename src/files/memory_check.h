#pragma once

#include "files/poi_codec.h"

#include <QString>

namespace orvalis {

// Whether a load fits in the memory left: what a file needs, what is left.

// The memory a load of a file of `fileBytes` holding `records` POIs takes
// at its peak: the file's bytes, the rows and the sort after the reading.
qint64 EstimatedLoadBytes(const PoiCodec *codec, qint64 fileBytes, qint64 records);
// What a table of `rows` rows gives back when a load empties it (at least).
qint64 TableBytes(int rows);
// The rows a file of the format will give (see PoiCodec::countRows); -1 on a
// read error.
qint64 CountRecords(const PoiCodec *codec, int fd);
// The memory the program can still have: MemAvailable and free swap, or the
// room left under its control groups' limits (v2 memory.max, v1
// memory.limit_in_bytes, a parent's too) when that is tighter, less their
// page cache the kernel can take back; -1 when unknown. The roots are for tests.
qint64 AvailableMemory(const QString &procRoot = QStringLiteral("/proc"),
                       const QString &cgroupRoot = QStringLiteral("/sys/fs/cgroup"));

}  // namespace orvalis
