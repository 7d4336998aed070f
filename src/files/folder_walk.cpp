#include "files/folder_walk.h"

#include <QByteArrayList>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace orvalis {

bool MayFollowLink(const struct stat &link, const struct stat &folder)
{
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == getuid() || link.st_uid == folder.st_uid;
}

namespace {

constexpr int kMostLinks = 40;  // as the kernel allows on one path

int OpenStart(bool absolute)
{
    return ::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// Puts the parts of `text` on `pending` (taken from the back) so that its first part comes next.
void PushParts(QByteArrayList &pending, const QByteArray &text)
{
    const QByteArrayList parts = text.split('/');
    for (auto part = parts.crbegin(); part != parts.crend(); ++part)
        if (!part->isEmpty())
            pending.append(*part);
}

// The text of the link held open at `link`; empty when it cannot be read whole.
QByteArray LinkText(int link)
{
    QByteArray text(PATH_MAX + 1, '\0');
    const ssize_t n = readlinkat(link, "", text.data(), static_cast<size_t>(text.size()));
    return n > 0 && n < text.size() ? text.left(n) : QByteArray();
}

void Replace(int &held, int next)
{
    ::close(held);
    held = next;
}

// The folder reopened for reading (to list it and sync it) where it may be read.
int Readable(int folder)
{
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return folder;
    ::close(folder);
    return fd;
}

}  // namespace

int OpenFolderOf(const QByteArray &path, QByteArray *name)
{
    if (path.isEmpty() || path.contains('\0') || path.endsWith('/')) {
        errno = path.endsWith('/') ? EISDIR : EINVAL;
        return -1;
    }
    int folder = OpenStart(path.startsWith('/'));
    QByteArrayList pending;
    PushParts(pending, path);
    int links = 0;
    while (folder >= 0 && !pending.isEmpty()) {
        const QByteArray part = pending.takeLast();
        const bool last = pending.isEmpty();
        if (last && (part == "." || part == ".."))
            break;
        const int fd = openat(folder, part.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            if (last && errno == ENOENT) {
                *name = part;
                return Readable(folder);
            }
            break;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0) {
            ::close(fd);
            break;
        }
        if (S_ISLNK(st.st_mode)) {
            // Its owner and its text come from the link held open, whatever is put at the name meanwhile.
            const QByteArray text = LinkText(fd);
            ::close(fd);
            struct stat held {};
            if (++links > kMostLinks || text.isEmpty() || fstat(folder, &held) != 0 || !MayFollowLink(st, held) ||
                (last && text.endsWith('/'))) {
                errno = ELOOP;  // a link we may not follow
                break;
            }
            if (text.startsWith('/'))
                Replace(folder, OpenStart(true));
            PushParts(pending, text);
            continue;
        }
        if (last) {
            ::close(fd);
            *name = part;
            return Readable(folder);
        }
        if (!S_ISDIR(st.st_mode)) {
            ::close(fd);
            errno = ENOTDIR;
            break;
        }
        Replace(folder, fd);
    }
    const int error = errno;  // what stopped the walk, for the message
    if (folder >= 0)
        ::close(folder);
    errno = error;
    return -1;
}

DIR *ListFolder(int folder)
{
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!dir && fd >= 0)
        ::close(fd);
    return dir;
}

}  // namespace orvalis
