// Records and bytes put aside: a few stay in memory (no temporary file, so a
// full or unwritable temporary folder does not stop a small job), many go to a
// file and come back whole.
#include "files/record_spool.h"
#include "files/spill_buffer.h"
#include "support/records.h"

#include <gtest/gtest.h>
#include <functional>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

PoiRecord Point(int i)
{
    PoiRecord r;
    r.lat = "48.5";
    r.lon = QByteArray::number(i % 170) + ".25";
    r.name = QStringLiteral("Point %1 é").arg(i);
    return r;
}

// Whether `job` passes in a child process that cannot open one more file.
bool PassesWithoutNewFiles(const std::function<bool()> &job)
{
    const pid_t child = fork();
    if (child == 0) {
        // Once with files allowed: what the sanitizers look up once (their
        // checks of dynamic types need a pipe) is known before none may be opened.
        job();
        const rlimit none{0, 0};
        setrlimit(RLIMIT_NOFILE, &none);
        std::_Exit(job() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(SpillBuffer, PastAMegabyteTheBytesComeBackWhole)
{
    SpillBuffer spill;
    QByteArray all;
    for (int i = 0; all.size() < 3 * SpillBuffer::kHeld; ++i) {
        const QByteArray piece = QByteArray::number(i) + QByteArray(i % 5000, char('a' + i % 26)) + '\n';
        spill.held() += piece;
        spill.settle();
        all += piece;
    }
    EXPECT_FALSE(spill.inMemory());
    ASSERT_EQ(spill.size(), all.size());
    const auto reader = spill.reader();
    ASSERT_TRUE(reader);
    QByteArray back;
    do {
        back += reader->view();
        reader->consume(reader->held());
    } while (reader->more());
    EXPECT_EQ(back, all);
    // Any range, across what went to the file and what was still held.
    for (const qint64 at : {qint64(0), qint64(SpillBuffer::kHeld) - 3, all.size() - 10}) {
        QByteArray part(10, '\0');
        ASSERT_TRUE(spill.readAt(at, part.data(), 10));
        EXPECT_EQ(part, all.mid(at, 10));
    }
    char past[2];
    EXPECT_FALSE(spill.readAt(all.size() - 1, past, 2));
}

TEST(SpillBuffer, ManyRecordsComeBackInOrderAndOneByOne)
{
    RecordSpool spool;
    std::vector<qint64> where;
    for (int i = 0; i < 60000; ++i)
        where.push_back(spool.append(Point(i)));
    EXPECT_FALSE(spool.inMemory());
    int seen = 0;
    EXPECT_TRUE(spool.replay([&](PoiRecord &&r) { EXPECT_EQ(r, Point(seen++)); }));
    EXPECT_EQ(seen, 60000);
    for (const int i : {0, 1, 29999, 59999}) {
        PoiRecord r;
        ASSERT_TRUE(spool.read(where[size_t(i)], r));
        EXPECT_EQ(r, Point(i));
    }
}

TEST(SpillBuffer, AFewRecordsAreWrittenAndReadWithoutATemporaryFile)
{
    PoiRecords records;
    for (int i = 0; i < 3; ++i)
        records.records.push_back(Point(i));
    // The CSV head waits for every record; the GPI sizes too.
    for (const char *format : {"csv", "gpi"}) {
        const QByteArray expected = RecordBytes(Codec(format), records);
        ASSERT_FALSE(expected.isEmpty());
        // A GPI file says when it was made (to the second): its POIs are compared, not its bytes.
        const auto same = [&](const QByteArray &bytes) {
            return format == std::string_view("csv") ? bytes == expected
                                                     : ReadRecords(Codec(format), bytes).records ==
                                                           ReadRecords(Codec(format), expected).records;
        };
        EXPECT_TRUE(PassesWithoutNewFiles([&] {
            int written = 0;
            return same(RecordBytes(Codec(format), records, &written)) && written == 3;
        })) << format;
    }
    // A headerless CSV whose first rows leave its column order open: they wait to be read again.
    const QByteArray csv = "2.5,48.5,a\n3.5,49.5,b\n100.5,40.5,c\n";
    EXPECT_TRUE(PassesWithoutNewFiles([&] {
        bool ok = false;
        const PoiRecords read = ReadRecords(Codec("csv"), csv, nullptr, &ok);
        return ok && read.records.size() == 3 && read.records[0].lat == "48.5" && read.records[2].name == u"c";
    }));
}
