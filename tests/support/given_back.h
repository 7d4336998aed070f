#pragma once

#include "files/read_result.h"
#include "table/poi_table.h"

#include <QByteArrayView>
#include <gtest/gtest.h>
#include <cstdint>
#include <unistd.h>

namespace orvalis::testing {

// A whole page of zeros inside the bytes: a reader gave pages back.
inline bool HasZeroPage(QByteArrayView bytes)
{
    const long page = sysconf(_SC_PAGESIZE);
    const auto address = reinterpret_cast<uintptr_t>(bytes.data());
    for (qsizetype at = static_cast<qsizetype>((page - static_cast<long>(address % static_cast<uintptr_t>(page))) % page);
         at + page <= bytes.size(); at += page)
        if (bytes.sliced(at, page).count('\0') == page)
            return true;
    return false;
}

// Two readings of one file give the same count, flags, rows and texts.
inline void ExpectSameReading(const ReadResult &r1, const PoiTable &one, const ReadResult &r2, const PoiTable &two, qsizetype file)
{
    EXPECT_EQ(r2.counter, r1.counter) << file;
    EXPECT_EQ(r2.truncated, r1.truncated) << file;
    EXPECT_EQ(r2.unknownBytes, r1.unknownBytes) << file;
    ASSERT_EQ(two.lastRow(), one.lastRow()) << file;
    for (int r = 1; r <= one.lastRow(); ++r)
        for (int f = 0; f < kFieldCount; ++f)
            ASSERT_EQ(two.field(r, f), one.field(r, f)) << "file " << file << " row " << r << " field " << f;
}

}  // namespace orvalis::testing
