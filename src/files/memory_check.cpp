#include "files/memory_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace orvalis {

namespace {

// What a load holds at its peak, per byte of the file and per POI: measured
// with gui_bench ("peak while loading") on files of 200,000 and 1,000,000
// POIs, short names and realistic texts, fitted, and 8 % added. A peak is
// never below `leastPerRecord` a POI (rows without texts, where the rows'
// growth and the sort weigh most).
struct LoadCost {
    double perByte;
    double perRecord;
    double leastPerRecord;
};
// OV2 peaks: 212 MB for 1M short names (38 MB), 372 MB for 1M realistic (131 MB), 174 MB for 1M bare records (14 MB).
constexpr LoadCost kOv2Cost{1.85, 158.5, 188.0};
// GPX peaks: 281 MB for 1M short names (80 MB), 577 MB for 1M realistic (284 MB), 212 MB for 1M bare waypoints (6 MB).
constexpr LoadCost kGpxCost{1.57, 177.0, 230.0};
// What any load takes besides (measured: 1 to 2 MB more than the fit on 200,000 POIs).
constexpr double kLoadBytes = 2e6;
// What emptying a table gives back at least, per row (measured: 100 to 240 bytes).
constexpr qint64 kTableRowBytes = 90;

}  // namespace

qint64 EstimatedLoadBytes(PoiFileKind kind, qint64 fileBytes, qint64 records)
{
    if (kind == PoiFileKind::Other)
        return 0;
    const LoadCost cost = kind == PoiFileKind::Ov2 ? kOv2Cost : kGpxCost;
    const double n = static_cast<double>(records);
    return static_cast<qint64>(kLoadBytes + std::max(cost.perByte * static_cast<double>(fileBytes) + cost.perRecord * n, cost.leastPerRecord * n));
}

qint64 TableBytes(int rows)
{
    return static_cast<qint64>(rows) * kTableRowBytes;
}

namespace {

// Counts records a block at a time with pread, so the file's offset stays where it is.
class BlockWalk {
public:
    explicit BlockWalk(int fd) : fd_(fd), block_(1 << 20, '\0') {}
    // The bytes from `offset` on, at least `n` of them unless the file ends first; false on a read error.
    bool at(qint64 offset, qsizetype n, QByteArrayView *out)
    {
        if (offset < start_ || offset + n > start_ + held_) {
            start_ = offset;
            held_ = 0;
            while (held_ < block_.size()) {
                const ssize_t got = ::pread(fd_, block_.data() + held_, static_cast<size_t>(block_.size() - held_), start_ + held_);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0)
                    return false;
                if (got == 0)
                    break;
                held_ += got;
            }
        }
        *out = QByteArrayView(block_.constData() + (offset - start_), held_ - (offset - start_));
        return true;
    }

private:
    int fd_;
    QByteArray block_;
    qint64 start_ = 0;
    qsizetype held_ = 0;
};

// OV2: every simple or extended record takes a row; lengths lead from one to the next.
qint64 CountOv2Rows(int fd)
{
    BlockWalk walk(fd);
    qint64 offset = 0, rows = 0;
    for (;;) {
        QByteArrayView v;
        if (!walk.at(offset, 5, &v))
            return -1;
        if (v.isEmpty())
            return rows;
        const auto type = static_cast<unsigned char>(v[0]);
        if (type > 3) {
            ++offset;  // a stray byte
            continue;
        }
        if (v.size() < 5)
            return rows;
        if (type == 1) {
            offset += 21;
            continue;
        }
        const qint64 length = static_cast<unsigned char>(v[1]) | static_cast<unsigned char>(v[2]) << 8 |
                              static_cast<unsigned char>(v[3]) << 16 | qint64(static_cast<unsigned char>(v[4])) << 24;
        if (length < 5)
            return rows;  // the reader stops there too
        rows += type >= 2 ? 1 : 0;
        offset += length;
    }
}

// GPX: one row per waypoint start tag.
qint64 CountGpxRows(int fd)
{
    BlockWalk walk(fd);
    static const QByteArray tag = "<wpt";
    qint64 offset = 0, rows = 0;
    for (;;) {
        QByteArrayView v;
        if (!walk.at(offset, 1 << 20, &v))
            return -1;
        for (const char *at = v.data(), *end = v.data() + v.size();
             (at = static_cast<const char *>(memmem(at, static_cast<size_t>(end - at), tag.constData(), 4))) != nullptr; at += 4)
            ++rows;
        if (v.size() < 1 << 20)
            return rows;
        offset += v.size() - (tag.size() - 1);  // a tag cut by the block's end is found in the next
    }
}

}  // namespace

qint64 CountRecords(PoiFileKind kind, int fd)
{
    if (fd < 0)
        return -1;
    if (kind == PoiFileKind::Ov2)
        return CountOv2Rows(fd);
    if (kind == PoiFileKind::Gpx)
        return CountGpxRows(fd);
    return 0;
}

namespace {

// A number of a file of /proc or /sys ("max" for none): -1 when absent.
qint64 NumberIn(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const qint64 v = f.readAll().trimmed().toLongLong(&ok);
    return ok ? v : -1;
}

// The value of a "name value" line of a memory.stat file, 0 when absent.
qint64 StatIn(const QString &path, const QByteArray &name)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(name + ' '))
            return line.mid(name.size() + 1).trimmed().toLongLong();
    return 0;
}

// A memory controller's files: cgroup v2 and v1 name them differently.
struct MemoryFiles {
    const char *limit;
    const char *usage;
    const char *reclaimable;  // page cache the kernel gives back before it kills
};
constexpr MemoryFiles kCgroup2{"memory.max", "memory.current", "inactive_file"};
constexpr MemoryFiles kCgroup1{"memory.limit_in_bytes", "memory.usage_in_bytes", "total_inactive_file"};

// The room left under the limits of a group and of every group above it up to
// the mount point (a limit set on a parent binds its children too); -1 for none.
qint64 RoomUnder(const QString &mount, const QString &group, const MemoryFiles &files)
{
    qint64 room = -1;
    QString folder = QDir::cleanPath(mount + u'/' + group);
    const QString top = QDir::cleanPath(mount);
    for (;;) {
        const qint64 limit = NumberIn(folder + u'/' + QLatin1String(files.limit));
        const qint64 usage = NumberIn(folder + u'/' + QLatin1String(files.usage));
        // v1 says "no limit" with a number near 2^63.
        if (limit >= 0 && usage >= 0 && limit < (qint64(1) << 60)) {
            const qint64 used = std::max<qint64>(0, usage - StatIn(folder + QStringLiteral("/memory.stat"), files.reclaimable));
            const qint64 left = std::max<qint64>(0, limit - used);
            room = room < 0 ? left : std::min(room, left);
        }
        if (folder.size() <= top.size() || !folder.startsWith(top))
            break;
        folder = QFileInfo(folder).path();
    }
    return room;
}

// A cgroup file system of the mount table: where it is mounted, the group
// path it shows as its root (a container's own group), and its version.
struct CgroupMount {
    QString point;
    QString root;
    bool v2 = false;
};

QString Unescaped(const QByteArray &field)
{
    // Spaces and tabs in mount points are written as octal escapes.
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int c = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += static_cast<char>(c);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return QFile::decodeName(out);
}

std::vector<CgroupMount> MemoryMounts(const QString &procRoot)
{
    std::vector<CgroupMount> mounts;
    QFile f(procRoot + QStringLiteral("/self/mountinfo"));
    if (!f.open(QIODevice::ReadOnly))
        return mounts;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const qsizetype dash = line.indexOf(" - ");
        if (dash < 0)
            continue;
        const QList<QByteArray> before = line.left(dash).split(' ');
        const QList<QByteArray> after = line.mid(dash + 3).split(' ');
        if (before.size() < 5 || after.size() < 3)
            continue;
        const bool v2 = after[0] == "cgroup2";
        const bool v1 = after[0] == "cgroup" && after[2].split(',').contains("memory");
        if (v1 || v2)
            mounts.push_back({Unescaped(before[4]), Unescaped(before[3]), v2});
    }
    return mounts;
}

}  // namespace

qint64 AvailableMemory(const QString &procRoot, const QString &cgroupRoot)
{
    qint64 available = -1, swapFree = 0;
    QFile meminfo(procRoot + QStringLiteral("/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : meminfo.readAll().split('\n')) {
            const bool mem = line.startsWith("MemAvailable:"), swap = line.startsWith("SwapFree:");
            if (!mem && !swap)
                continue;
            bool ok = false;
            const qint64 kb = line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLongLong(&ok);
            if (ok && mem)
                available = kb * 1024;
            else if (ok)
                swapFree = kb * 1024;
        }
    }
    if (available >= 0)
        available += swapFree;  // slower, but a load that fits there succeeds
    // A control group's limit is tighter than the machine's when it is set:
    // cgroup v2 ("0::/path") and v1's memory controller ("N:memory:/path").
    QFile cgroup(procRoot + QStringLiteral("/self/cgroup"));
    if (!cgroup.open(QIODevice::ReadOnly))
        return available;
    std::vector<CgroupMount> mounts = MemoryMounts(procRoot);
    if (mounts.empty()) {
        // No mount table: the usual places.
        mounts = {{cgroupRoot, QStringLiteral("/"), true}, {cgroupRoot + QStringLiteral("/unified"), QStringLiteral("/"), true},
                  {cgroupRoot + QStringLiteral("/memory"), QStringLiteral("/"), false}};
    }
    for (const QByteArray &line : cgroup.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(':');
        if (parts.size() < 3)
            continue;
        const bool v2 = parts[0] == "0" && parts[1].isEmpty();
        if (!v2 && !parts[1].split(',').contains("memory"))
            continue;
        const QString path = QString::fromUtf8(line.mid(parts[0].size() + parts[1].size() + 2)).trimmed();
        for (const CgroupMount &m : mounts) {
            if (m.v2 != v2)
                continue;
            // A mount of a container's own group shows its path from there.
            const QString root = m.root == QStringLiteral("/") ? QString() : m.root;
            if (!root.isEmpty() && path != root && !path.startsWith(root + u'/'))
                continue;
            const qint64 room = RoomUnder(m.point, path.mid(root.size()), v2 ? kCgroup2 : kCgroup1);
            if (room >= 0)
                available = available < 0 ? room : std::min(available, room);
        }
    }
    return available;
}

}  // namespace orvalis
