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

namespace {

// Record i's fields: a different few each time, some texts past the room a place keeps.
void Fill(PoiRecord &r, int i)
{
    SetBytes(r.lat, QByteArray::number(i));
    SetBytes(r.lon, i % 5 == 0 ? QByteArray() : QByteArray(i % 40, 'x'));
    r.deferredAs = i % 3 == 0 ? TextEncoding::Utf8 : i % 3 == 1 ? TextEncoding::Windows1252 : TextEncoding::Utf8ElseWindows1252;
    for (int k = 0; k < i % 4; ++k)
        r.defer((i + k) % int(std::size(kRecordTexts)), QByteArray(i % 389 == 0 ? 100000 : (i * 7 + k) % 50, char('a' + k)));
    if (i % 6 == 1)
        r.name = QString::number(i);
    if (i % 10 == 2)
        r.ele = QStringLiteral("1.5");
    if (i % 13 == 3)
        r.links.push_back({QStringLiteral("http://x"), QString::number(i), {}});
    if (i % 17 == 4)
        r.otherXml.push_back("<x:a>" + QByteArray::number(i) + "</x:a>");
    if (i % 19 == 5)
        r.extensionsXml = "<y:b/>";
    if (i % 23 == 6)
        r.properties.push_back({QStringLiteral("k"), QByteArray::number(i)});
}

PoiRecord Made(int i)
{
    PoiRecord r;
    Fill(r, i);
    return r;
}

}  // namespace

// Records filled in their batch's places, whose room earlier records left,
// arrive as filled records made new: nothing of the records before them stays,
// whether they are handed on or dropped, mixed with records made elsewhere.
TEST(RecordPipe, RecordsFilledInTheirPlacesArriveAsNewOnes)
{
    std::vector<int> sent, seen;
    PipeRecords(
        [&](const auto &pass) {
            for (int i = 0; i < 6000; ++i) {
                if (i % 7 == 3) {
                    sent.push_back(i);
                    pass(Made(i));
                    continue;
                }
                RecordToFill fill;
                Fill(*fill, i);
                if (i % 11 == 5)
                    continue;  // not handed on: its place is filled again
                sent.push_back(i);
                pass(std::move(*fill));
            }
        },
        [&](PoiRecord &&r) {
            const int i = r.lat.toInt();
            EXPECT_EQ(r, Made(i)) << i;
            seen.push_back(i);
        });
    EXPECT_EQ(seen, sent);
    // Outside a pipe a reader fills a record of its own.
    RecordToFill fill;
    EXPECT_EQ(*fill, PoiRecord());
}
