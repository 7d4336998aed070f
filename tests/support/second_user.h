#pragma once

#include "support/poi_files.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <iterator>
#include <optional>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvalis::testing {

struct Account {
    uid_t uid;
    gid_t gid;
};

// Another account of the machine, for what someone else can do to our files:
// "orvalis-test", made when missing. Only root can make it and act for it.
inline std::optional<Account> SecondUser()
{
    if (geteuid() != 0)
        return std::nullopt;
    const char *name = "orvalis-test";
    // Test programs run side by side may make it at once: one waits for the other's lock.
    for (int tries = 0; tries < 50; ++tries) {
        if (const passwd *pw = getpwnam(name))
            return Account{pw->pw_uid, pw->pw_gid};
        if (QProcess::execute(QStringLiteral("useradd"), {"--system", "--user-group", "--no-create-home", "--shell",
                                                         "/usr/sbin/nologin", QString::fromLatin1(name)}) < 0)
            return std::nullopt;  // no useradd on this machine
        QThread::msleep(100);
    }
    return std::nullopt;
}

// A file of these bytes, owner, group and mode.
inline bool WriteFileOf(const QString &path, const QByteArray &bytes, uid_t owner, gid_t group, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    return WriteFile(path, bytes) && chown(name.constData(), owner, group) == 0 && chmod(name.constData(), mode) == 0;
}

// The status of the entry at `path` itself (a link is not followed); zeros where there is none.
inline struct stat StatusOf(const QString &path)
{
    struct stat st {};
    lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// The calling thread acts on files as `who` (its own group, no others, no
// privilege over files) until the end of the scope; other threads stay root.
// The raw calls change this thread alone, where the C library's would change all.
class ActingAs {
public:
    explicit ActingAs(const Account &who) : groupCount_(getgroups(static_cast<int>(std::size(groups_)), groups_))
    {
        syscall(SYS_setgroups, 0, nullptr);
        syscall(SYS_setfsgid, who.gid);
        syscall(SYS_setfsuid, who.uid);
    }
    ~ActingAs()
    {
        syscall(SYS_setfsuid, 0);
        syscall(SYS_setfsgid, 0);
        syscall(SYS_setgroups, std::max(groupCount_, 0), groups_);
    }
    ActingAs(const ActingAs &) = delete;
    ActingAs &operator=(const ActingAs &) = delete;

private:
    gid_t groups_[64] = {};
    int groupCount_ = 0;
};

}  // namespace orvalis::testing
