// What a load may take: the memory left (the machine's, or a control
// group's, v1 or v2), and what a file of a format needs.
#include "files/memory_check.h"

#include "support/poi_files.h"
#include "support/tables.h"

#include <QDir>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace orvalis;
using orvalis::testing::WriteFile;

namespace {

// A /proc and a /sys/fs/cgroup of our own.
struct FakeSystem {
    FakeSystem()
    {
        QDir().mkpath(proc.filePath("self"));
        write(proc.filePath("meminfo"), "MemTotal: 8000000 kB\nMemAvailable:  1000000 kB\nSwapFree:  500 kB\n");
    }
    void write(const QString &path, const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(WriteFile(path, text));
    }
    QString sys(const QString &path) const { return cgroups.path() + path; }
    // A mount line for the mount table: the mount point within our fake /sys.
    QByteArray mount(const QString &root, const QString &point, const QByteArray &type, const QByteArray &options) const
    {
        return "30 20 0:30 " + root.toUtf8() + ' ' + sys(point).toUtf8() + " rw,relatime - " + type + ' ' + type + " rw," +
               options + '\n';
    }
    qint64 available() const { return AvailableMemory(proc.path(), cgroups.path()); }
    static constexpr qint64 kMachine = (1000000 + 500) * qint64(1024);

    QTemporaryDir proc, cgroups;
};

}  // namespace

TEST(MemoryCheck, CgroupV2LimitsOfTheGroupAndItsParents)
{
    FakeSystem s;
    s.write(s.proc.filePath("self/cgroup"), "0::/user.slice/app\n");
    EXPECT_EQ(s.available(), FakeSystem::kMachine);  // no group files: the machine's memory and swap
    s.write(s.sys("/user.slice/app/memory.max"), "max\n");
    s.write(s.sys("/user.slice/app/memory.current"), "1000\n");
    EXPECT_EQ(s.available(), FakeSystem::kMachine);  // "max": no limit
    s.write(s.sys("/user.slice/app/memory.max"), "700000\n");
    s.write(s.sys("/user.slice/app/memory.current"), "200000\n");
    EXPECT_EQ(s.available(), 500000);  // the group's room is tighter
    // The page cache it holds is given back before anything is killed.
    s.write(s.sys("/user.slice/app/memory.stat"), "anon 100000\nfile 100000\ninactive_file 60000\nactive_file 40000\n");
    EXPECT_EQ(s.available(), 560000);
    // A parent's limit binds its children too.
    s.write(s.sys("/user.slice/memory.max"), "900000\n");
    s.write(s.sys("/user.slice/memory.current"), "600000\n");
    EXPECT_EQ(s.available(), 300000);
}

// Under a v1 memory controller (Docker on older systems, this machine), as the
// mount table shows it: a container's own group is the mount's root.
TEST(MemoryCheck, CgroupV1MemoryControllerFromTheMountTable)
{
    FakeSystem s;
    s.write(s.proc.filePath("self/cgroup"), "12:pids:/\n4:memory:/docker/abc\n3:cpu,cpuacct:/\n0::/\n");
    s.write(s.proc.filePath("self/mountinfo"), "24 1 8:1 / / rw - ext4 /dev/sda rw\n" +
                                                   s.mount("/", "/unified", "cgroup2", "nsdelegate") +
                                                   s.mount("/docker/abc", "/mem\\040ory", "cgroup", "memory") +
                                                   s.mount("/", "/cpu,cpuacct", "cgroup", "cpu,cpuacct"));
    // 600 MB limit, 100 MB used: a 685 MB load must be refused, not killed.
    s.write(s.sys("/mem ory/memory.limit_in_bytes"), "629145600\n");
    s.write(s.sys("/mem ory/memory.usage_in_bytes"), "104857600\n");
    EXPECT_EQ(s.available(), 629145600 - 104857600);
    s.write(s.sys("/mem ory/memory.stat"), "cache 5000\ninactive_file 9\ntotal_inactive_file 4000\n");
    EXPECT_EQ(s.available(), 629145600 - 104857600 + 4000);
    // No limit: v1 writes a number near 2^63.
    s.write(s.sys("/mem ory/memory.limit_in_bytes"), "9223372036854771712\n");
    EXPECT_EQ(s.available(), FakeSystem::kMachine);
}

TEST(MemoryCheck, CgroupV1WithoutAMountTableAndHybridV2)
{
    FakeSystem s;
    s.write(s.proc.filePath("self/cgroup"), "4:memory:/process_api/job\n0::/job\n");
    s.write(s.sys("/memory/process_api/job/memory.limit_in_bytes"), "50000000\n");
    s.write(s.sys("/memory/process_api/job/memory.usage_in_bytes"), "10000000\n");
    EXPECT_EQ(s.available(), 40000000);
    s.write(s.sys("/unified/job/memory.max"), "30000000\n");
    s.write(s.sys("/unified/job/memory.current"), "0\n");
    EXPECT_EQ(s.available(), 30000000);  // the tightest of all
}

namespace {

// A file's rows as the load counts them, its offset left where it was.
qint64 Count(const PoiCodec *kind, const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("f");
    if (!WriteFile(path, bytes))
        return -2;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    const qint64 n = CountRecords(kind, fd);
    const bool stayed = ::lseek(fd, 0, SEEK_CUR) == 0;
    ::close(fd);
    return stayed ? n : -3;
}

QByteArray Record(int type, const QByteArray &payload)
{
    QByteArray r(1, static_cast<char>(type));
    const quint32 length = static_cast<quint32>(payload.size() + 5);
    for (int i = 0; i < 4; ++i)
        r += static_cast<char>((length >> (8 * i)) & 0xFF);
    return r + payload;
}

}  // namespace

TEST(MemoryCheck, NavigatorFilesAreCountedAtLeastAsManyRowsAsTheyGive)
{
    const PoiTable table = orvalis::testing::TableOfRows({{"45.1", "5.2", "A"}, {"-33.9", "151.2", "B"}, {"0", "0", "C"}});
    for (const char *name : {"asc", "gpi", "kmz"}) {
        const PoiCodec *codec = CodecNamed(QString::fromLatin1(name));
        ASSERT_NE(codec, nullptr) << name;
        const QByteArray bytes = codec->tableBytes(table, 1, 3, WriteOptions{}, nullptr);
        const qint64 rows = Count(codec, bytes);
        EXPECT_GE(rows, 3) << name;
        EXPECT_LT(rows, 100) << name;
        EXPECT_GT(EstimatedLoadBytes(codec, bytes.size(), rows), 3 * 200) << name;
    }
    EXPECT_EQ(Count(CodecNamed(u"kmz"), "not a zip archive at all"), 0);
}

TEST(MemoryCheck, RowsAreCountedAcrossBlocksWithoutReadingTheFileWhole)
{
    const QByteArray simple = Record(2, QByteArray(8, '\1') + "Paris" + '\0');
    const QByteArray skipper = QByteArray(1, '\1') + QByteArray(20, '\0');
    // Simple and extended records take rows; skipper, deleted and stray bytes do not.
    EXPECT_EQ(Count(CodecNamed(u"ov2"), skipper + simple + Record(3, "ext") + Record(0, "gone") + '\7' + simple), 3);
    // Thousands of records across the 1 MiB blocks; a file cut in a record ends the count.
    QByteArray many;
    for (int i = 0; i < 100000; ++i)
        many += simple;
    EXPECT_EQ(Count(CodecNamed(u"ov2"), many), 100000);
    EXPECT_EQ(Count(CodecNamed(u"ov2"), many + simple.left(3)), 100000);
    EXPECT_EQ(Count(CodecNamed(u"ov2"), QByteArray(5, '\0') + simple), 0);  // a length below 5 ends the reading
    // GPX: waypoint tags, one cut by a block's end included.
    QByteArray gpx = "<gpx>" + QByteArray((1 << 20) - 7, ' ') + "<wpt lat=\"1\" lon=\"2\"/>";
    EXPECT_EQ(Count(CodecNamed(u"gpx"), gpx + "<wpt/><rtept/>"), 2);
    EXPECT_EQ(Count(CodecNamed(u"gpx"), "<wpt/>"), 1);
    EXPECT_EQ(CountRecords(CodecNamed(u"gpx"), -1), -1);
}

// Peaks of loads measured in the window: a realistic million-POI OV2 (131 MB,
// 286 MB at the load's peak), the GPX (284 MB, 363 MB), short names, bare
// records; the estimates stay above them by a small margin, and rows without
// texts still count for what a row costs.
TEST(MemoryCheck, EstimatesFollowTheFormatWithASmallMargin)
{
    const qint64 ov2 = EstimatedLoadBytes(CodecNamed(u"ov2"), 131346258, 1000000);
    EXPECT_GE(ov2, 286000000);
    EXPECT_LT(ov2, 330000000);
    EXPECT_GE(EstimatedLoadBytes(CodecNamed(u"ov2"), 37872994, 1000000), 188000000);  // short names
    const qint64 gpx = EstimatedLoadBytes(CodecNamed(u"gpx"), 283884702, 1000000);
    EXPECT_GE(gpx, 363000000);
    EXPECT_LT(gpx, 500000000);
    EXPECT_GE(EstimatedLoadBytes(CodecNamed(u"gpx"), 80410631, 1000000), 226000000);  // short names
    EXPECT_GE(EstimatedLoadBytes(CodecNamed(u"gpx"), 6000035, 1000000), 212000000);  // "<wpt/>" a million times
    EXPECT_GE(EstimatedLoadBytes(CodecNamed(u"ov2"), 14000000, 1000000), 163000000);  // bare records
    EXPECT_EQ(EstimatedLoadBytes(nullptr, 1000, 10), 0);
    EXPECT_GT(AvailableMemory(), 0);
}
