#include "maps/map_page_file.h"

#include "files/folder_walk.h"
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

void RemoveTreeAt(int parent, const char *name);

// Removes what the folder open at `folder` holds (its marker too unless `keepMarker`).
void EmptyFolder(int folder, bool keepMarker)
{
    DIR *dir = ListFolder(folder);
    if (!dir)
        return;
    while (const dirent *e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0 ||
            (keepMarker && std::strcmp(e->d_name, PageFolderMarker()) == 0))
            continue;
        struct stat st {};
        if (fstatat(folder, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
            RemoveTreeAt(folder, e->d_name);
        else
            unlinkat(folder, e->d_name, 0);
    }
    closedir(dir);
}

// Removes the entry `name` in `parent` and, for a folder, what it holds.
void RemoveTreeAt(int parent, const char *name)
{
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        unlinkat(parent, name, 0);
        return;
    }
    EmptyFolder(fd, false);
    close(fd);
    unlinkat(parent, name, AT_REMOVEDIR);
}

bool SameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The name under which the folder open at `held` is in `parent`: `hint` if it
// is still there, else found by its inode (someone renamed it). Empty if gone.
QByteArray NameIn(int parent, int held, const QByteArray &hint)
{
    struct stat ours {}, named {};
    if (fstat(held, &ours) != 0)
        return {};
    if (!hint.isEmpty() && fstatat(parent, hint.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(ours, named))
        return hint;
    QByteArray found;
    DIR *dir = ListFolder(parent);
    if (!dir)
        return {};
    while (const dirent *e = readdir(dir)) {
        if (fstatat(parent, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(ours, named)) {
            found = e->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

// Removes the folder of ours open at `held`, whose entry is in `parent`: its
// contents through the descriptor, so nothing else is touched whatever its name
// is now, then its entry once found. Where it cannot be found the marker stays,
// for a later run to sweep it.
bool RemoveHeldFolder(int parent, int held, const QByteArray &hint)
{
    EmptyFolder(held, true);
    const QByteArray name = NameIn(parent, held, hint);
    if (name.isEmpty())
        return false;
    unlinkat(held, PageFolderMarker(), 0);
    return unlinkat(parent, name.constData(), AT_REMOVEDIR) == 0;
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
    if (const int parent = open(FolderOf(path_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); parent >= 0) {
        RemoveHeldFolder(parent, fd_, NameOf(path_));
        close(parent);
    }
    close(fd_);
    fd_ = -1;
    path_.clear();
}

int RemoveStalePageFolders(const QString &tempDir)
{
    // Found by the marker inside, whatever the folder is called now.
    const int dirFd = open(QFile::encodeName(tempDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = dirFd >= 0 ? ListFolder(dirFd) : nullptr;
    if (!dir) {
        if (dirFd >= 0)
            close(dirFd);
        return 0;
    }
    int removed = 0;
    while (const dirent *e = readdir(dir)) {
        if (e->d_type != DT_DIR && e->d_type != DT_UNKNOWN)
            continue;
        const int fd = openat(dirFd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {}, mark {};
        char text[32] = {};
        const int marker = openat(fd, PageFolderMarker(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fstat(fd, &st) == 0 && IsPrivate(st) && marker >= 0 && fstat(marker, &mark) == 0 && S_ISREG(mark.st_mode) &&
            mark.st_uid == getuid() && read(marker, text, sizeof text - 1) > 0) {
            bool ok = false;
            const qlonglong pid = QByteArray(text).trimmed().toLongLong(&ok);
            // Only when no process has that number: a live one may be another run of ours.
            if (ok && pid > 0 && pid != getpid() && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                removed += RemoveHeldFolder(dirFd, fd, e->d_name);
        }
        if (marker >= 0)
            close(marker);
        close(fd);
    }
    closedir(dir);
    close(dirFd);
    return removed;
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
