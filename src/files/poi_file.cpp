#include "files/poi_file.h"

#include "table/row_halves.h"

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

namespace {

// Reads `count` bytes at `offset`; false when the file gives fewer.
bool ReadAt(int fd, char *to, qint64 count, qint64 offset)
{
    while (count > 0) {
        const ssize_t n = ::pread(fd, to, static_cast<size_t>(std::min<qint64>(count, 1 << 24)), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        to += n;
        offset += n;
        count -= n;
    }
    return true;
}

constexpr qint64 kTwoReadersBytes = 8 << 20;

}  // namespace

bool FileBytes::readAgain()
{
    bytes_ = QByteArray();
    return fd_ >= 0 && ::lseek(fd_, 0, SEEK_SET) == 0 && readAll();
}

bool FileBytes::readAll(bool keepOpen)
{
    if (fd_ < 0)
        return false;
    // The size at open is where reading starts from, not where it stops: files
    // of /proc say 0 and may still hold bytes, or fail on the first read.
    bytes_.resize(static_cast<qsizetype>(size_));
    qint64 got = 0;
    bool ok = true;
    if (size_ >= kTwoReadersBytes) {
        // Big files: both halves of the size they showed at once (the copies
        // and the new pages cost half the time), then on to the end as any
        // file. A file cut meanwhile is read again from its start, as a whole.
        const qint64 half = size_ / 2;
        bool lower = false, upper = false;
        RunBoth([&] { upper = ReadAt(fd_, bytes_.data() + half, size_ - half, half); },
                [&] { lower = ReadAt(fd_, bytes_.data(), half, 0); });
        if (lower && upper && ::lseek(fd_, size_, SEEK_SET) == size_)
            got = size_;
    }
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
    if (!keepOpen) {
        ::close(fd_);
        fd_ = -1;
    }
    return ok;
}

}  // namespace orvalis
