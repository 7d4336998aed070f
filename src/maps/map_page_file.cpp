#include "maps/map_page_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
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

bool EnsurePrivateFolder(const QString &path)
{
    if (mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return IsPrivateFolder(path);
}

bool WritePrivateFile(const QString &path, const QByteArray &bytes)
{
    if (!EnsurePrivateFolder(QFileInfo(path).path()))
        return false;
    const QByteArray file = QFile::encodeName(path);
    const int fd = open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            close(fd);
            return false;
        }
        p += n;
        left -= n;
    }
    return close(fd) == 0;
}

}  // namespace orvalis
