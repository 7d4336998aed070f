#include "files/poi_file.h"

#include <QFileInfo>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {

QString FolderOf(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QByteArray NativeFileName(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat st {};
    if (!path.contains(QChar::ReplacementCharacter) || lstat(encoded.constData(), &st) == 0)
        return encoded;
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.path());
    QByteArray found;
    if (DIR *dir = opendir(folder.constData())) {
        while (const dirent *entry = readdir(dir)) {
            if (QFile::decodeName(entry->d_name) != info.fileName())
                continue;
            if (!found.isEmpty()) {
                found.clear();  // two names stand for it: neither is chosen
                break;
            }
            found = folder + '/' + entry->d_name;
        }
        closedir(dir);
    }
    return found.isEmpty() ? encoded : found;
}

FileBytes::~FileBytes()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool FileBytes::startNative(const QByteArray &path)
{
    if (fd_ >= 0)
        ::close(fd_);
    bytes_.clear();
    // Without O_NONBLOCK a FIFO would block here until someone writes to it.
    fd_ = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0)
        return false;
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = st.st_size;
    return true;
}

bool FileBytes::readAll()
{
    if (fd_ < 0)
        return false;
    // The size at open is where reading starts from, not where it stops: files
    // of /proc say 0 and may still hold bytes, or fail on the first read.
    bytes_.resize(static_cast<qsizetype>(size_));
    qint64 got = 0;
    bool ok = true;
    for (;;) {
        if (got == bytes_.size())
            bytes_.resize(static_cast<qsizetype>(got + std::max<qint64>(got / 2, 1 << 16)));
        const ssize_t n = ::read(fd_, bytes_.data() + got, static_cast<size_t>(std::min<qint64>(bytes_.size() - got, 1 << 24)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;  // the end, or cut while reading: what was there is kept
        got += n;
    }
    bytes_.resize(static_cast<qsizetype>(got));
    ::close(fd_);
    fd_ = -1;
    return ok;
}

qint64 EstimatedLoadBytes(const PoiCodec *codec, QByteArrayView data, int freedRows)
{
    // The file's bytes once (held while the rows are made), and the rows at their
    // peak; the rows of the table the load empties are given back first.
    const qint64 rows = codec ? codec->rowsAtMost(data) : 0;
    return std::max<qint64>(0, static_cast<qint64>(data.size()) + (rows - freedRows) * kRowPeakBytes);
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
    // A control group's limit is tighter than the machine's when it is set.
    QFile cgroup(procRoot + QStringLiteral("/self/cgroup"));
    if (cgroup.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cgroup.readAll().split('\n')) {
            if (!line.startsWith("0::"))
                continue;
            const QString folder = cgroupRoot + QString::fromUtf8(line.mid(3)).trimmed();
            const qint64 max = NumberIn(folder + QStringLiteral("/memory.max"));
            const qint64 current = NumberIn(folder + QStringLiteral("/memory.current"));
            if (max >= 0 && current >= 0) {
                const qint64 room = std::max<qint64>(0, max - current);
                available = available < 0 ? room : std::min(available, room);
            }
        }
    }
    return available;
}

}  // namespace orvalis
