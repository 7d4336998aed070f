#include "files/save_file.h"

#include "files/poi_file.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {

namespace {

QByteArray FolderPart(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray NamePart(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}



}  // namespace

bool WriteAllToFd(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(std::min<qsizetype>(size, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

namespace {

// The link whose status is `link`, at `path`: in a shared sticky folder only
// our links and the folder owner's are followed.
bool MayFollow(const struct stat &link, const QByteArray &path)
{
    struct stat folder {};
    if (stat(FolderPart(path).constData(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == getuid() || link.st_uid == folder.st_uid;
}

}  // namespace

bool MayFollowLinkAtNative(const QByteArray &path)
{
    struct stat link {};
    if (lstat(path.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return true;
    return MayFollow(link, path);
}

bool MayFollowLinkAt(const QString &path)
{
    return MayFollowLinkAtNative(QFile::encodeName(path));
}

AtomicFile::~AtomicFile()
{
    abandon();
}

void AtomicFile::abandon()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (folder_ >= 0) {
        if (!temporary_.isEmpty())
            unlinkat(folder_, temporary_.constData(), 0);
        ::close(folder_);
        folder_ = -1;
    }
    temporary_.clear();
}

bool AtomicFile::fail(SaveFailure what)
{
    abandon();
    failure_ = what;
    return false;
}

bool AtomicFile::open(const QByteArray &path)
{
    abandon();
    failure_ = SaveFailure::None;
    if (path.isEmpty() || path.contains('\0'))
        return fail(SaveFailure::Refused);
    // The final links, resolved once; from here on the folder is held open and
    // its entry named, so no link is followed again.
    QByteArray target = path;
    for (int hops = 0;; ++hops) {
        // The link itself held open: its owner and its text come from the same
        // link, whatever is put at the name between the two looks.
        const int link = ::open(target.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        struct stat st {};
        if (link < 0 || fstat(link, &st) != 0 || !S_ISLNK(st.st_mode)) {
            if (link >= 0)
                ::close(link);
            break;
        }
        QByteArray to(static_cast<qsizetype>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = readlinkat(link, "", to.data(), static_cast<size_t>(to.size()));
        ::close(link);
        if (hops == 40 || !MayFollow(st, target))
            return fail(SaveFailure::Refused);
        if (n <= 0 || n >= to.size())
            return fail(SaveFailure::Refused);
        to.truncate(n);
        target = to.startsWith('/') ? to : FolderPart(target) + '/' + to;
    }
    name_ = NamePart(target);
    if (name_.isEmpty() || name_ == "." || name_ == "..")
        return fail(SaveFailure::Refused);
    folder_ = ::open(FolderPart(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0)
        return fail(SaveFailure::Refused);
    existed_ = fstatat(folder_, name_.constData(), &before_, AT_SYMLINK_NOFOLLOW) == 0;
    if (existed_ && !S_ISREG(before_.st_mode))
        return fail(SaveFailure::Refused);  // a device, a FIFO, a folder, or a link put there meanwhile
    for (int tries = 0; fd_ < 0 && tries < 100; ++tries) {
        temporary_ = '.' + name_.left(64) + '.' + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".tmp";
        fd_ = openat(folder_, temporary_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     existed_ ? (before_.st_mode & 07777) : 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int e = errno;
        temporary_.clear();
        return fail(e == EACCES || e == EPERM || e == EROFS ? SaveFailure::FolderNotWritable : SaveFailure::WriteFailed);
    }
    return true;
}

bool AtomicFile::write(QByteArrayView bytes)
{
    if (fd_ < 0)
        return false;
    if (!WriteAllToFd(fd_, bytes.data(), bytes.size()))
        return fail(SaveFailure::WriteFailed);
    return true;
}

bool AtomicFile::writeAt(qint64 offset, QByteArrayView bytes)
{
    if (fd_ < 0)
        return false;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = pwrite(fd_, bytes.data() + done, static_cast<size_t>(bytes.size() - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(SaveFailure::WriteFailed);
        done += n;
    }
    return true;
}

bool AtomicFile::commit()
{
    if (fd_ < 0)
        return false;
    bool ok = true;
    if (existed_) {
        // Owner and group of the old file where we may give them; its mode in any case.
        if (before_.st_uid != geteuid() || before_.st_gid != getegid())
            [[maybe_unused]] const int ignored = fchown(fd_, before_.st_uid, before_.st_gid);
        ok = fchmod(fd_, before_.st_mode & 07777) == 0;
    }
    ok = fsync(fd_) == 0 && ok;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (!ok)
        return fail(SaveFailure::WriteFailed);
    // The entry must still be what was checked: a link planted since is not replaced.
    struct stat now {};
    const bool present = fstatat(folder_, name_.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0;
    if (present != existed_ || (present && (now.st_dev != before_.st_dev || now.st_ino != before_.st_ino)))
        return fail(SaveFailure::Refused);
    if (renameat(folder_, temporary_.constData(), folder_, name_.constData()) != 0)
        return fail(SaveFailure::WriteFailed);
    temporary_.clear();
    fsync(folder_);
    ::close(folder_);
    folder_ = -1;
    return true;
}

bool SaveFileBytesNative(const QByteArray &path, const QByteArray &bytes, SaveFailure *why)
{
    AtomicFile file;
    const bool ok = file.open(path) && file.write(bytes) && file.commit();
    if (why)
        *why = file.failure();
    return ok;
}

bool SaveFileBytes(const QString &path, const QByteArray &bytes, SaveFailure *why)
{
    return SaveFileBytesNative(NativeFileName(path), bytes, why);
}

}  // namespace orvalis
