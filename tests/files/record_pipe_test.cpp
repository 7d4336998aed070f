#include "files/record_pipe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

using namespace orvalis;

namespace {

PoiRecord Numbered(int i)
{
    PoiRecord r;
    r.lat = QByteArray::number(i);
    r.lon = "2";
    // Some records heavy enough to close a batch on their own.
    r.name = i % 97 == 0 ? QString(300000, u'x') : QString::number(i);
    return r;
}

}  // namespace

TEST(RecordPipe, EveryRecordArrivesOnceInOrder)
{
    for (const int n : {0, 1, 511, 512, 513, 20000}) {
        std::vector<int> seen;
        PipeRecords([&](const auto &pass) { for (int i = 0; i < n; ++i) pass(Numbered(i)); },
                    [&](PoiRecord &&r) {
                        EXPECT_EQ(r, Numbered(static_cast<int>(seen.size())));
                        seen.push_back(r.lat.toInt());
                    });
        EXPECT_EQ(seen.size(), size_t(n));
    }
}

TEST(RecordPipe, AReadingFailureComesAfterWhatWasReadBeforeIt)
{
    int consumed = 0;
    EXPECT_THROW(PipeRecords(
                     [&](const auto &pass) {
                         for (int i = 0; i < 1500; ++i)
                             pass(Numbered(i));
                         throw std::runtime_error("damaged");
                     },
                     [&](PoiRecord &&) { ++consumed; }),
                 std::runtime_error);
    EXPECT_EQ(consumed, 1500);
}

TEST(RecordPipe, AWritingFailureStopsTheReading)
{
    // The reader would go on for ever: the writer's failure must end it and come back here.
    std::atomic<long> produced = 0;
    EXPECT_THROW(PipeRecords(
                     [&](const auto &pass) {
                         for (long i = 0;; ++i, ++produced)
                             pass(Numbered(static_cast<int>(i % 1000)));
                     },
                     [&](PoiRecord &&r) {
                         if (r.lat == "700")
                             throw std::runtime_error("disk full");
                     }),
                 std::runtime_error);
    EXPECT_LT(produced.load(), 100000);  // a few batches ahead at most
}
