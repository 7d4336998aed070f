#include "files/temporary_files.h"

#include "files/folder_walk.h"

#include <QByteArrayList>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <iterator>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {

namespace {

// What the signal handler may read: fixed slots, a name written before its
// slot is marked held, nothing allocated.
enum : int { kFree, kFilling, kHeld };
struct Slot {
    std::atomic<int> state{kFree};
    int folder = -1;
    char name[256] = {};
};
Slot table[32];

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
constexpr char kMark[] = ".orvalis-";

void RemoveAndEnd(int signal)
{
    for (Slot &s : table)
        if (s.state.load(std::memory_order_acquire) == kHeld)
            unlinkat(s.folder, s.name, 0);
    // The handler was reset to the default as it started: the signal ends the process on return.
    raise(signal);
}

int Remember(int folder, const QByteArray &name)
{
    if (name.size() >= static_cast<qsizetype>(sizeof Slot::name))
        return -1;
    for (int i = 0; i < static_cast<int>(std::size(table)); ++i) {
        int expected = kFree;
        if (!table[i].state.compare_exchange_strong(expected, kFilling))
            continue;
        std::memcpy(table[i].name, name.constData(), static_cast<size_t>(name.size()) + 1);
        table[i].folder = folder;
        table[i].state.store(kHeld, std::memory_order_release);
        return i;
    }
    return -1;  // more saves at once than slots: this one is left to the sweep
}

QByteArray RunMark()
{
    return kMark + QByteArray::number(static_cast<qulonglong>(geteuid())) + '-' +
           QByteArray::number(static_cast<qlonglong>(getpid())) + '-';
}

// The process that made the temporary file `name`, when the name is ours.
pid_t MakerOf(const QByteArray &name)
{
    const qsizetype at = name.lastIndexOf(kMark);
    if (!name.startsWith('.') || !name.endsWith(".tmp") || at < 0)
        return 0;
    const QByteArrayList fields = name.mid(at + qsizetype(sizeof kMark) - 1).chopped(4).split('-');
    bool uidOk = false, pidOk = false;
    const qulonglong uid = fields.size() == 3 ? fields[0].toULongLong(&uidOk) : 0;
    const qlonglong pid = fields.size() == 3 ? fields[1].toLongLong(&pidOk) : 0;
    return uidOk && pidOk && uid == geteuid() && pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

}  // namespace

int CreateTemporaryFile(int folder, const QByteArray &name, QByteArray *temporary, int *slot)
{
    // No ending signal between the file's creation and its place in the table.
    sigset_t ending, before;
    sigemptyset(&ending);
    for (const int s : kEndingSignals)
        sigaddset(&ending, s);
    pthread_sigmask(SIG_BLOCK, &ending, &before);
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        *temporary = '.' + name.left(64) + RunMark() + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".tmp";
        fd = openat(folder, temporary->constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    const int error = errno;
    *slot = fd >= 0 ? Remember(folder, *temporary) : -1;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0)
        temporary->clear();
    errno = error;
    return fd;
}

void ForgetTemporaryFile(int slot)
{
    if (slot >= 0 && slot < static_cast<int>(std::size(table)))
        table[slot].state.store(kFree, std::memory_order_release);
}

void RemoveTemporaryFilesOn(std::initializer_list<int> which)
{
    for (const int s : which) {
        struct sigaction now {};
        // A signal the caller ignores (nohup) stays ignored.
        if (sigaction(s, nullptr, &now) != 0 || now.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = RemoveAndEnd;
        sigemptyset(&action.sa_mask);
        for (const int e : kEndingSignals)
            sigaddset(&action.sa_mask, e);
        action.sa_flags = SA_RESETHAND;
        sigaction(s, &action, nullptr);
    }
}

int RemoveLeftoverTemporaryFiles(int folder)
{
    DIR *dir = ListFolder(folder);
    if (!dir)
        return 0;  // a folder we may not list: nothing is swept
    int removed = 0;
    while (const dirent *e = readdir(dir)) {
        const pid_t maker = MakerOf(QByteArray(e->d_name));
        struct stat st {};
        // Only when no process has that number: a live one may be another run of ours.
        if (maker > 0 && maker != getpid() && fstatat(folder, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == geteuid() && kill(maker, 0) != 0 && errno == ESRCH && unlinkat(folder, e->d_name, 0) == 0)
            ++removed;
    }
    closedir(dir);
    return removed;
}

}  // namespace orvalis
