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

}  // namespace orvalis
