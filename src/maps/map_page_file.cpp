#include "maps/map_page_file.h"

#include "files/save_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QRandomGenerator>

#include <cstring>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {

QString CurrentUserName()
{
    if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(getuid());
}

QString MapPageFolderTemplate(const QString &tempDir)
{
    QString user = CurrentUserName();
    user.replace(u'/', u'_');
    return tempDir + QStringLiteral("/orvalis-") + user + QStringLiteral("-XXXXXX");
}

QString MapPageFile(const QString &folder)
{
    return folder + QStringLiteral("/Orvalis.htm");
}

bool IsPrivateFolder(const QString &path)
{
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           (st.st_mode & 077) == 0;
}

namespace {

bool WriteAllTo(int fd, const QByteArray &bytes)
{
    return WriteAllToFd(fd, bytes.constData(), bytes.size());
}

bool IsPrivate(const struct stat &st)
{
    return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

// Empties the folder open at `fd` (closing it), then removes its entry `name` in `parent`.
void RemoveTreeAt(int parent, const char *name)
{
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        unlinkat(parent, name, 0);
        return;
    }
    if (DIR *dir = fdopendir(fd)) {
        while (const dirent *e = readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                continue;
            struct stat st {};
            if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
                RemoveTreeAt(fd, e->d_name);
            else
                unlinkat(fd, e->d_name, 0);
        }
        closedir(dir);
    } else {
        close(fd);
    }
    unlinkat(parent, name, AT_REMOVEDIR);
}

QByteArray FolderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray(slash == 0 ? "/" : ".") : path.left(slash);
}

QByteArray NameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// Removes the folder at `path` when it is the one open at `fd`.
void RemoveIfSame(const QByteArray &path, int fd)
{
    struct stat held {}, named {};
    if (fstat(fd, &held) != 0 || lstat(path.constData(), &named) != 0 || held.st_dev != named.st_dev ||
        held.st_ino != named.st_ino)
        return;
    const int parent = open(FolderOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return;
    RemoveTreeAt(parent, NameOf(path).constData());
    close(parent);
}

// Opens the folder of `relative`'s last name, making missing folders (0700) on the way.
int OpenSubfolder(int base, const QByteArrayList &names, bool create)
{
    int fd = dup(base);
    for (qsizetype i = 0; fd >= 0 && i + 1 < names.size(); ++i) {
        if (create)
            mkdirat(fd, names[i].constData(), 0700);
        const int next = openat(fd, names[i].constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(fd);
        fd = next;
    }
    return fd;
}

std::optional<QByteArrayList> SafeNames(const QString &relative)
{
    const QByteArrayList names = QFile::encodeName(relative).split('/');
    for (const QByteArray &n : names)
        if (n.isEmpty() || n == "." || n == "..")
            return std::nullopt;
    return names;
}

}  // namespace

PageFolder::PageFolder(const QString &tempDir) : tempDir_(tempDir) {}

PageFolder::~PageFolder()
{
    remove();
}

bool PageFolder::stillOurs() const
{
    // Deleted (no links left), loosened, given away, or its name now another folder.
    struct stat held {}, named {};
    return fd_ >= 0 && fstat(fd_, &held) == 0 && held.st_nlink > 0 && IsPrivate(held) &&
           lstat(path_.constData(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

bool PageFolder::ensure(bool *fresh)
{
    if (fresh)
        *fresh = false;
    if (stillOurs())
        return true;
    remove();
    QByteArray name = QFile::encodeName(MapPageFolderTemplate(tempDir_));
    if (!mkdtemp(name.data()))
        return false;
    const int fd = open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !IsPrivate(st)) {
        if (fd >= 0)
            close(fd);
        return false;
    }
    path_ = name;
    fd_ = fd;
    // Which run made it, so that a later run can remove it once this one is gone.
    const int marker = openat(fd_, PageFolderMarker(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (marker >= 0) {
        WriteAllTo(marker, QByteArray::number(static_cast<qlonglong>(getpid())) + '\n');
        close(marker);
    }
    if (fresh)
        *fresh = true;
    return stillOurs();
}

bool PageFolder::writeFile(const QString &relative, const QByteArray &bytes)
{
    const auto names = SafeNames(relative);
    if (!names || !stillOurs())
        return false;
    const int folder = OpenSubfolder(fd_, *names, true);
    if (folder < 0)
        return false;
    const QByteArray temporary = ".tmp-" + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
    const int fd = openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && WriteAllTo(fd, bytes);
    if (fd >= 0)
        ok = close(fd) == 0 && ok;
    ok = ok && renameat(folder, temporary.constData(), folder, names->last().constData()) == 0;
    if (!ok)
        unlinkat(folder, temporary.constData(), 0);
    close(folder);
    return ok;
}

void PageFolder::remove()
{
    if (fd_ < 0)
        return;
    RemoveIfSame(path_, fd_);
    close(fd_);
    fd_ = -1;
    path_.clear();
}

int RemoveStalePageFolders(const QString &tempDir)
{
    const QByteArray folder = QFile::encodeName(tempDir);
    const QByteArray prefix = NameOf(QFile::encodeName(MapPageFolderTemplate(tempDir))).chopped(6);
    const int dirFd = open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    QByteArrayList stale;
    if (DIR *dir = fdopendir(dup(dirFd))) {
        while (const dirent *e = readdir(dir)) {
            const QByteArray name(e->d_name);
            if (!name.startsWith(prefix) || name.size() != prefix.size() + 6)
                continue;
            const int fd = openat(dirFd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0)
                continue;
            struct stat st {}, mark {};
            char text[32] = {};
            const int marker = openat(fd, PageFolderMarker(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fstat(fd, &st) == 0 && IsPrivate(st) && marker >= 0 && fstat(marker, &mark) == 0 && S_ISREG(mark.st_mode) &&
                mark.st_uid == getuid() && read(marker, text, sizeof text - 1) > 0) {
                bool ok = false;
                const qlonglong pid = QByteArray(text).trimmed().toLongLong(&ok);
                // Only when no process has that number: a live one may be another run of ours.
                if (ok && pid > 0 && pid != getpid() && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                    stale << name;
            }
            if (marker >= 0)
                close(marker);
            close(fd);
        }
        closedir(dir);
    }
    for (const QByteArray &name : std::as_const(stale))
        RemoveTreeAt(dirFd, name.constData());
    close(dirFd);
    return static_cast<int>(stale.size());
}

std::optional<QByteArray> ReadServedFile(const QString &folder, const QString &relative)
{
    const auto names = SafeNames(relative);
    if (!names || names->first().startsWith('.'))
        return std::nullopt;
    const int base = open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (base < 0)
        return std::nullopt;
    const int dir = OpenSubfolder(base, *names, false);
    close(base);
    if (dir < 0)
        return std::nullopt;
    const int fd = openat(dir, names->last().constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    close(dir);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> out;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == getuid()) {
        QByteArray bytes;
        char buffer[65536];
        ssize_t n = 0;
        while ((n = read(fd, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, n);
        if (n == 0)
            out = bytes;
    }
    close(fd);
    return out;
}

}  // namespace orvalis
