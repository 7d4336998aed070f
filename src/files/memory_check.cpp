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

// What any load takes besides (measured: 1 to 2 MB more than the fit on 200,000 POIs).
constexpr double kLoadBytes = 2e6;
// What emptying a table gives back at least, per row (measured: 100 to 240 bytes).
constexpr qint64 kTableRowBytes = 90;

}  // namespace

qint64 EstimatedLoadBytes(const PoiCodec *codec, qint64 fileBytes, qint64 records)
{
    if (!codec)
        return 0;
    const LoadCost cost = codec->loadCost();
    const double n = static_cast<double>(records);
    return static_cast<qint64>(kLoadBytes + std::max(cost.perByte * static_cast<double>(fileBytes) + cost.perRecord * n, cost.leastPerRecord * n));
}

qint64 TableBytes(int rows)
{
    return static_cast<qint64>(rows) * kTableRowBytes;
}

qint64 CountRecords(const PoiCodec *codec, int fd)
{
    if (fd < 0)
        return -1;
    return codec ? codec->countRows(fd) : 0;
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
