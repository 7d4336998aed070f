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

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

bool Fail(SaveFailure *why, SaveFailure what)
{
    if (why)
        *why = what;
    return false;
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

bool MayFollowLinkAtNative(const QByteArray &path)
{
    struct stat link {};
    if (lstat(path.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return true;
    struct stat folder {};
    if (stat(FolderPart(path).constData(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == getuid() || link.st_uid == folder.st_uid;
}

bool MayFollowLinkAt(const QString &path)
{
    return MayFollowLinkAtNative(QFile::encodeName(path));
}

bool SaveFileBytesNative(const QByteArray &path, const QByteArray &bytes, SaveFailure *why)
{
    if (why)
        *why = SaveFailure::None;
    if (path.isEmpty() || path.contains('\0'))
        return Fail(why, SaveFailure::Refused);
    // The final links, resolved once; from here on the folder is held open and
    // its entry named, so no link is followed again.
    QByteArray target = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (lstat(target.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        if (hops == 40 || !MayFollowLinkAtNative(target))
            return Fail(why, SaveFailure::Refused);
        QByteArray to(static_cast<qsizetype>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = readlink(target.constData(), to.data(), static_cast<size_t>(to.size()));
        if (n <= 0 || n >= to.size())
            return Fail(why, SaveFailure::Refused);
        to.truncate(n);
        target = to.startsWith('/') ? to : FolderPart(target) + '/' + to;
    }
    const QByteArray name = NamePart(target);
    if (name.isEmpty() || name == "." || name == "..")
        return Fail(why, SaveFailure::Refused);
    const Fd folder(::open(FolderPart(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return Fail(why, SaveFailure::Refused);
    struct stat before {};
    const bool existed = fstatat(folder.get(), name.constData(), &before, AT_SYMLINK_NOFOLLOW) == 0;
    if (existed && !S_ISREG(before.st_mode))
        return Fail(why, SaveFailure::Refused);  // a device, a FIFO, a folder, or a link put there meanwhile

    QByteArray temporary;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temporary = '.' + name.left(64) + '.' + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".tmp";
        fd = openat(folder.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    existed ? (before.st_mode & 07777) : 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int e = errno;
        return Fail(why, e == EACCES || e == EPERM || e == EROFS ? SaveFailure::FolderNotWritable : SaveFailure::WriteFailed);
    }
    bool ok = WriteAllToFd(fd, bytes.constData(), bytes.size());
    if (ok && existed) {
        // Owner and group of the old file where we may give them; its mode in any case.
        if (before.st_uid != geteuid() || before.st_gid != getegid())
            [[maybe_unused]] const int ignored = fchown(fd, before.st_uid, before.st_gid);
        ok = fchmod(fd, before.st_mode & 07777) == 0;
    }
    ok = ok && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        // The entry must still be what was checked: a link planted since is not replaced.
        struct stat now {};
        const bool present = fstatat(folder.get(), name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0;
        if (present != existed || (present && (now.st_dev != before.st_dev || now.st_ino != before.st_ino))) {
            unlinkat(folder.get(), temporary.constData(), 0);
            return Fail(why, SaveFailure::Refused);
        }
        ok = renameat(folder.get(), temporary.constData(), folder.get(), name.constData()) == 0;
    }
    if (!ok) {
        unlinkat(folder.get(), temporary.constData(), 0);
        return Fail(why, SaveFailure::WriteFailed);
    }
    fsync(folder.get());
    return true;
}

bool SaveFileBytes(const QString &path, const QByteArray &bytes, SaveFailure *why)
{
    return SaveFileBytesNative(NativeFileName(path), bytes, why);
}

}  // namespace orvalis
