#include "files/save_file.h"

#include "files/folder_walk.h"
#include "files/poi_file.h"
#include "files/temporary_files.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {

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

// Read where the kernel shows it: setting the umask to read it would race
// with the files other threads create.
mode_t CurrentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("Umask:"))
                return static_cast<mode_t>(line.mid(6).trimmed().toUInt(nullptr, 8) & 0777);
    }
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

}  // namespace

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
    if (!temporary_.isEmpty())
        unlinkat(folder_, temporary_.constData(), 0);
    temporary_.clear();
    // Out of the signal handler's table before the folder's descriptor may be reused.
    ForgetTemporaryFile(slot_);
    slot_ = -1;
    if (folder_ >= 0) {
        ::close(folder_);
        folder_ = -1;
    }
}

bool AtomicFile::fail(SaveFailure what, int error)
{
    error_ = error;
    abandon();
    failure_ = what;
    return false;
}

bool AtomicFile::open(const QByteArray &path)
{
    abandon();
    failure_ = SaveFailure::None;
    error_ = 0;
    groupKept_ = true;
    folder_ = OpenFolderOf(path, &name_);
    if (folder_ < 0)
        return fail(SaveFailure::Refused);
    existed_ = fstatat(folder_, name_.constData(), &before_, AT_SYMLINK_NOFOLLOW) == 0;
    if (existed_ && !S_ISREG(before_.st_mode))
        return fail(SaveFailure::Refused, 0);  // a device, a FIFO, a folder, or a link put there meanwhile
    RemoveLeftoverTemporaryFiles(folder_);
    fd_ = CreateTemporaryFile(folder_, name_, &temporary_, &slot_);
    if (fd_ < 0) {
        const int e = errno;
        return fail(e == EACCES || e == EPERM || e == EROFS ? SaveFailure::FolderNotWritable : SaveFailure::WriteFailed, e);
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

mode_t AtomicFile::takeOldOwner()
{
    // The pair where the process may give it; else the group alone (a user's
    // own file of a group the user is not in keeps neither).
    struct stat now {};
    const bool got = fstat(fd_, &now) == 0;
    bool ownerKept = got && now.st_uid == before_.st_uid, groupKept = got && now.st_gid == before_.st_gid;
    if ((!ownerKept || !groupKept) && fchown(fd_, before_.st_uid, before_.st_gid) == 0)
        ownerKept = groupKept = true;
    if (!groupKept)
        groupKept = fchown(fd_, static_cast<uid_t>(-1), before_.st_gid) == 0;
    groupKept_ = groupKept;
    // A set-id bit goes with the owner or group it names, never to another.
    mode_t mode = before_.st_mode & 07777;
    if (!ownerKept)
        mode &= ~S_ISUID;
    if (!groupKept)
        mode &= ~S_ISGID;
    return mode;
}

bool AtomicFile::commit()
{
    if (fd_ < 0)
        return false;
    const mode_t mode = existed_ ? takeOldOwner() : 0666 & ~CurrentUmask();
    // The set-id bits only once the file has its final name: no temporary file ever carries them.
    const mode_t setId = mode & (S_ISUID | S_ISGID);
    bool ok = fchmod(fd_, mode & ~setId) == 0;
    ok = fsync(fd_) == 0 && ok;
    if (!ok)
        return fail(SaveFailure::WriteFailed);
    // The entry must still be what was checked: a file or link put there since is not replaced.
    struct stat now {};
    const bool present = fstatat(folder_, name_.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0;
    if (present != existed_ || (present && (now.st_dev != before_.st_dev || now.st_ino != before_.st_ino)))
        return fail(SaveFailure::Refused, 0);
    if (renameat(folder_, temporary_.constData(), folder_, name_.constData()) != 0)
        return fail(SaveFailure::WriteFailed);
    temporary_.clear();
    if (setId)
        [[maybe_unused]] const int sameAsAbove = fchmod(fd_, mode);  // the file is in place either way
    fsync(folder_);
    abandon();
    return true;
}

bool SaveFileBytesNative(const QByteArray &path, const QByteArray &bytes, SaveReport *report)
{
    AtomicFile file;
    const bool ok = file.open(path) && file.write(bytes) && file.commit();
    *report = {file.failure(), file.groupKept()};
    return ok;
}

bool SaveFileBytesNative(const QByteArray &path, const QByteArray &bytes, SaveFailure *why)
{
    SaveReport report;
    const bool ok = SaveFileBytesNative(path, bytes, &report);
    if (why)
        *why = report.failure;
    return ok;
}

bool SaveFileBytes(const QString &path, const QByteArray &bytes, SaveFailure *why)
{
    return SaveFileBytesNative(NativeFileName(path), bytes, why);
}

bool SaveFileBytes(const QString &path, const QByteArray &bytes, SaveReport *report)
{
    return SaveFileBytesNative(NativeFileName(path), bytes, report);
}

}  // namespace orvalis
