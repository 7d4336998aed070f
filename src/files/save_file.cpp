#include "files/save_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {

bool MayFollowLinkAt(const QString &path)
{
    struct stat link {};
    if (lstat(QFile::encodeName(path).constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return true;
    struct stat folder {};
    if (lstat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == getuid() || link.st_uid == folder.st_uid;
}

bool SaveFileBytes(const QString &path, const QByteArray &bytes)
{
    if (!MayFollowLinkAt(path))
        return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat before {};
    const bool existed = stat(native.constData(), &before) == 0;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // No temporary file beside it (a folder we may not write): the file itself, in place.
        QFile direct(path);
        return existed && S_ISREG(before.st_mode) && direct.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               direct.write(bytes) == bytes.size() && direct.flush();
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        return false;
    // The renamed temporary file belongs to us: give it back to whoever had the old one.
    if (existed && (before.st_uid != geteuid() || before.st_gid != getegid())) {
        struct stat after {};
        if (stat(native.constData(), &after) == 0 && (after.st_uid != before.st_uid || after.st_gid != before.st_gid))
            [[maybe_unused]] const int ignored = chown(native.constData(), before.st_uid, before.st_gid);
    }
    return true;
}

}  // namespace orvalis
