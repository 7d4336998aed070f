#include "files/poi_file.h"
#include "files/save_file.h"
#include "support/poi_files.h"
#include "support/second_user.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <atomic>
#include <thread>

using namespace orvalis;
using orvalis::testing::Account;
using orvalis::testing::SecondUser;
using orvalis::testing::StatusOf;
using orvalis::testing::WriteFile;
using orvalis::testing::WriteFileOf;

namespace {

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

constexpr uid_t kNobody = 65534;

// Locks a folder's entries (no file may be created in it, even by root); false where unsupported.
bool SetImmutable(const QString &folder, bool on)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

TEST(SaveFile, ReplacesWholeOrLeavesTheOldFileAsItWas)
{
    QTemporaryDir temp;
    const QString path = temp.filePath("a.gpx");
    ASSERT_TRUE(SaveFileBytes(path, "one"));
    ASSERT_TRUE(SaveFileBytes(path, "two"));
    EXPECT_EQ(Contents(path), "two");
    EXPECT_FALSE(SaveFileBytes(temp.filePath("missing/a.gpx"), "x"));
    // A link to a device is not a file to replace: /dev/full stays a device.
    const QString full = temp.filePath("full.gpx");
    ASSERT_TRUE(QFile::link("/dev/full", full));
    SaveFailure why = SaveFailure::None;
    EXPECT_FALSE(SaveFileBytes(full, "x", &why));
    EXPECT_EQ(why, SaveFailure::Refused);
    struct stat dev {};
    ASSERT_EQ(stat("/dev/full", &dev), 0);
    EXPECT_TRUE(S_ISCHR(dev.st_mode));
    // A read-only file keeps its mode.
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    ASSERT_TRUE(SaveFileBytes(path, "ro"));
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0644), 0);
    // A folder where no temporary file can be made: refused, the old file whole.
    if (!SetImmutable(temp.path(), true))
        GTEST_SKIP() << "this file system cannot lock a folder";
    EXPECT_FALSE(SaveFileBytes(path, "three", &why));
    SetImmutable(temp.path(), false);
    EXPECT_EQ(why, SaveFailure::FolderNotWritable);
    EXPECT_EQ(Contents(path), "ro");
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(SaveFile, NamesAreBytes)
{
    // Names that are not UTF-8 are kept byte for byte, and two of them never collide.
    QTemporaryDir temp;
    const QByteArray folder = QFile::encodeName(temp.path());
    for (int b = 1; b < 256; ++b) {
        if (b == '/')
            continue;
        const QByteArray name = folder + "/x" + QByteArray(1, static_cast<char>(b)) + ".gpx";
        ASSERT_TRUE(SaveFileBytesNative(name, QByteArray::number(b))) << b;
    }
    for (int b = 1; b < 256; ++b) {
        if (b == '/')
            continue;
        const QByteArray name = folder + "/x" + QByteArray(1, static_cast<char>(b)) + ".gpx";
        FileBytes file;
        ASSERT_TRUE(file.openNative(name)) << b;
        EXPECT_EQ(file.data(), QByteArray::number(b));
        ::unlink(name.constData());  // QTemporaryDir cannot remove names it cannot decode
    }
}

TEST(SaveFile, ALinkFlippedDuringTheSaveIsNeverFollowed)
{
    if (getuid() != 0)
        GTEST_SKIP() << "planting a link of another user needs root";
    QTemporaryDir temp;
    const QString shared = temp.filePath("tmp");
    QDir().mkpath(shared);
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString victim = temp.filePath("victim");
    ASSERT_TRUE(WriteFile(victim, "private"));
    const QByteArray path = QFile::encodeName(shared + "/export.gpx");
    const QByteArray staged = QFile::encodeName(shared + "/staged");
    // Another user swaps the name between nothing, a file and a link to our file.
    std::atomic<bool> stop{false};
    std::thread attacker([&] {
        for (unsigned i = 0; !stop; ++i) {
            ::unlink(staged.constData());
            if (i % 2 == 0) {
                if (symlink(QFile::encodeName(victim).constData(), staged.constData()) == 0)
                    lchown(staged.constData(), kNobody, kNobody);
            } else {
                const int fd = ::open(staged.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                if (fd >= 0)
                    ::close(fd);
            }
            ::rename(staged.constData(), path.constData());
        }
    });
    // How many saves get through depends on the timing; none may reach the victim.
    for (int i = 0; i < 3000; ++i)
        SaveFileBytesNative(path, "export");
    stop = true;
    attacker.join();
    EXPECT_EQ(Contents(victim), "private");
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(victim).constData(), &st), 0);
    EXPECT_EQ(st.st_nlink, 1u);
}

TEST(SaveFile, AReplacedFileKeepsItsOwner)
{
    if (getuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    QTemporaryDir temp;
    const QString path = temp.filePath("theirs.ov2");
    ASSERT_TRUE(WriteFile(path, "old"));
    ASSERT_EQ(chown(QFile::encodeName(path).constData(), kNobody, kNobody), 0);
    ASSERT_TRUE(SaveFileBytes(path, "new"));
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(st.st_gid, kNobody);
    EXPECT_EQ(Contents(path), "new");
}

namespace {

mode_t ModeOf(const QString &path)
{
    return StatusOf(path).st_mode & 07777;
}

// Sets the umask for one scope.
struct Umask {
    explicit Umask(mode_t mask) : old(umask(mask)) {}
    ~Umask() { umask(old); }
    mode_t old;
};

}  // namespace

TEST(SaveFile, NewFilesTakeTheUmaskReplacedOnesKeepTheirMode)
{
    QTemporaryDir temp;
    for (const mode_t mask : {022, 002, 077, 0}) {
        const QString path = temp.filePath(QStringLiteral("new-%1.gpx").arg(mask, 3, 8, QLatin1Char('0')));
        {
            Umask scope(mask);
            ASSERT_TRUE(SaveFileBytes(path, "new"));
        }
        EXPECT_EQ(ModeOf(path), 0666 & ~mask) << std::oct << mask;
    }
    // Whatever the umask, a replaced file keeps its mode, bits the umask would take away included.
    for (const mode_t mode : {0664, 0646, 0604, 0444, 0755, 0600}) {
        const QString path = temp.filePath(QStringLiteral("old-%1.gpx").arg(mode, 3, 8, QLatin1Char('0')));
        ASSERT_TRUE(WriteFile(path, "old"));
        ASSERT_EQ(chmod(QFile::encodeName(path).constData(), mode), 0);
        {
            Umask scope(077);
            ASSERT_TRUE(SaveFileBytes(path, "new"));
        }
        EXPECT_EQ(ModeOf(path), mode) << std::oct << mode;
        EXPECT_EQ(Contents(path), "new");
    }
}

TEST(SaveFile, ANameChangedDuringTheSaveIsLeftAsItWasMade)
{
    // Between the start and the end of a save another program puts its own file
    // at the name, removes the old one, or creates one where there was none:
    // that file is kept and the save refused.
    QTemporaryDir temp;
    const QString path = temp.filePath("out.gpx"), theirs = temp.filePath("theirs");
    ASSERT_TRUE(WriteFile(path, "old"));
    {
        AtomicFile file;
        ASSERT_TRUE(file.open(QFile::encodeName(path)));
        ASSERT_TRUE(file.write("ours"));
        ASSERT_TRUE(WriteFile(theirs, "theirs"));
        ASSERT_EQ(rename(QFile::encodeName(theirs).constData(), QFile::encodeName(path).constData()), 0);
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(file.failure(), SaveFailure::Refused);
        EXPECT_EQ(Contents(path), "theirs");
    }
    {
        AtomicFile file;
        ASSERT_TRUE(file.open(QFile::encodeName(path)));
        ASSERT_TRUE(QFile::remove(path));
        EXPECT_FALSE(file.commit());
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    {
        AtomicFile file;
        ASSERT_TRUE(file.open(QFile::encodeName(path)));
        ASSERT_TRUE(WriteFile(path, "theirs"));
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(Contents(path), "theirs");
    }
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.gpx"});
}

namespace {

// A folder as another user would set it up around our saves: `private` (ours,
// 0700, holding what must not be written), `sticky` (like /tmp, ours), and
// what the other user plants in it.
struct SharedFolders {
    explicit SharedFolders(const Account &other) : other(other)
    {
        EXPECT_EQ(chmod(QFile::encodeName(temp.path()).constData(), 0755), 0);
        QDir(temp.path()).mkdir("private");
        QDir(temp.path()).mkdir("sticky");
        EXPECT_EQ(chmod(path("private").constData(), 0700), 0);
        EXPECT_EQ(chmod(path("sticky").constData(), 01777), 0);
    }
    QByteArray path(const char *relative) const { return QFile::encodeName(temp.filePath(QString::fromLatin1(relative))); }
    // A link made by the other user.
    void plantLink(const QByteArray &to, const char *at) const
    {
        EXPECT_EQ(symlink(to.constData(), path(at).constData()), 0) << at;
        EXPECT_EQ(lchown(path(at).constData(), other.uid, other.gid), 0) << at;
    }
    void plantFolder(const char *at) const
    {
        EXPECT_EQ(mkdir(path(at).constData(), 0755), 0) << at;
        EXPECT_EQ(chown(path(at).constData(), other.uid, other.gid), 0) << at;
    }
    QStringList privateFiles() const { return QDir(temp.filePath("private")).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir temp;
    Account other;
};

}  // namespace

TEST(SaveFile, EveryLinkOnThePathIsFollowedOnlyUnderTheRule)
{
    const auto other = SecondUser();
    if (!other)
        GTEST_SKIP() << "links of another user need root and a second account";
    SharedFolders f(*other);
    f.plantLink(f.path("private"), "sticky/dlink");
    // Another user's link to a folder of ours, met in the middle of the path, and
    // reached through a link of ours: nothing is written.
    EXPECT_FALSE(SaveFileBytesNative(f.path("sticky/dlink/x.gpx"), "evil"));
    ASSERT_EQ(symlink("dlink/y.gpx", f.path("sticky/ours").constData()), 0);
    EXPECT_FALSE(SaveFileBytesNative(f.path("sticky/ours"), "evil"));
    EXPECT_FALSE(SaveFileBytesNative(f.path("sticky/dlink/../sticky/z.gpx"), "evil"));
    EXPECT_EQ(f.privateFiles(), QStringList());
    // Our own link there is followed, and so is theirs in a folder that is not shared.
    ASSERT_EQ(symlink(f.path("private").constData(), f.path("sticky/mine").constData()), 0);
    EXPECT_TRUE(SaveFileBytesNative(f.path("sticky/mine/a.gpx"), "a"));
    f.plantFolder("sticky/theirs");
    f.plantLink(f.path("private"), "sticky/theirs/link");
    EXPECT_TRUE(SaveFileBytesNative(f.path("sticky/theirs/link/b.gpx"), "b"));
    ASSERT_EQ(chmod(f.path("sticky").constData(), 01755), 0);  // sticky, not world-writable
    EXPECT_TRUE(SaveFileBytesNative(f.path("sticky/dlink/c.gpx"), "c"));
    ASSERT_EQ(chmod(f.path("sticky").constData(), 0777), 0);  // world-writable, not sticky
    EXPECT_TRUE(SaveFileBytesNative(f.path("sticky/dlink/d.gpx"), "d"));
    // The shared folder's owner's links are followed there.
    ASSERT_EQ(chmod(f.path("sticky").constData(), 01777), 0);
    ASSERT_EQ(chown(f.path("sticky").constData(), other->uid, other->gid), 0);
    EXPECT_TRUE(SaveFileBytesNative(f.path("sticky/dlink/e.gpx"), "e"));
    EXPECT_EQ(f.privateFiles(), (QStringList{"a.gpx", "b.gpx", "c.gpx", "d.gpx", "e.gpx"}));
}

TEST(SaveFile, AFolderFlippedToALinkDuringTheSavesNeverLetsOneThrough)
{
    const auto other = SecondUser();
    if (!other)
        GTEST_SKIP() << "links of another user need root and a second account";
    // The other user swaps sticky/sub between a folder of theirs and a link to
    // our private folder while we save into sticky/sub, again and again.
    SharedFolders f(*other);
    f.plantFolder("sticky/sub");
    f.plantLink(f.path("private"), "sticky/flip");
    std::atomic<bool> stop{false};
    std::thread attacker([&] {
        const QByteArray a = f.path("sticky/sub"), b = f.path("sticky/flip");
        while (!stop) {
            renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE);
            usleep(20);  // a save sometimes gets the folder whole, so both ways are tried
        }
    });
    const QByteArray out = f.path("sticky/sub/export.gpx"), landed = f.path("private/export.gpx");
    constexpr int kTries = 2000;
    int escapes = 0, saved = 0;
    for (int i = 0; i < kTries; ++i) {
        saved += SaveFileBytesNative(out, "export");
        if (::unlink(landed.constData()) == 0)
            ++escapes;
    }
    stop = true;
    attacker.join();
    EXPECT_EQ(escapes, 0) << "saves written into the private folder, of " << kTries << " (" << saved << " saved)";
    EXPECT_GT(saved, 0);  // the swaps did not stop every save: the race was run
    EXPECT_EQ(f.privateFiles(), QStringList());
}

TEST(SaveFile, LinksPlantedByOthersInSharedFoldersAreNotFollowed)
{
    const auto other = SecondUser();
    if (!other)
        GTEST_SKIP() << "links of another user need root and a second account";
    SharedFolders f(*other);
    const QString precious = f.temp.filePath("private/precious");
    ASSERT_TRUE(WriteFile(precious, "keep"));
    f.plantLink(QFile::encodeName(precious), "sticky/export.gpx");
    EXPECT_FALSE(SaveFileBytesNative(f.path("sticky/export.gpx"), "evil"));
    EXPECT_EQ(Contents(precious), "keep");
    // A dangling link creates nothing.
    f.plantLink(f.path("private/created"), "sticky/new.gpx");
    EXPECT_FALSE(SaveFileBytesNative(f.path("sticky/new.gpx"), "evil"));
    EXPECT_EQ(f.privateFiles(), QStringList{"precious"});
    // Our own link there is followed.
    ASSERT_EQ(symlink(QFile::encodeName(precious).constData(), f.path("sticky/own.gpx").constData()), 0);
    EXPECT_TRUE(SaveFileBytesNative(f.path("sticky/own.gpx"), "mine"));
    EXPECT_EQ(Contents(precious), "mine");
    // Theirs where the folder is not shared, sticky but not world-writable, or theirs.
    for (const mode_t mode : {0755, 01755}) {
        ASSERT_EQ(chmod(f.path("sticky").constData(), mode), 0);
        EXPECT_TRUE(SaveFileBytesNative(f.path("sticky/export.gpx"), QByteArray::number(mode, 8)));
        EXPECT_EQ(Contents(precious), QByteArray::number(mode, 8));
    }
    ASSERT_EQ(chmod(f.path("sticky").constData(), 01777), 0);
    ASSERT_EQ(chown(f.path("sticky").constData(), other->uid, other->gid), 0);
    EXPECT_TRUE(SaveFileBytesNative(f.path("sticky/export.gpx"), "owner's"));
    EXPECT_EQ(Contents(precious), "owner's");
}

namespace {

// The temporary files in a folder (a save under way, or what one left).
QStringList Temporaries(const QString &folder)
{
    return QDir(folder).entryList({"*.tmp"}, QDir::Files | QDir::Hidden | QDir::System);
}

pid_t DeadProcess()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

}  // namespace

TEST(SaveFile, TheTemporaryFileIsPrivateAndSaysWhoseAndWhichRunItIs)
{
    QTemporaryDir temp;
    const QString path = temp.filePath("out.gpx");
    ASSERT_TRUE(WriteFile(path, "old"));
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0644), 0);
    AtomicFile file;
    ASSERT_TRUE(file.open(QFile::encodeName(path)));
    ASSERT_TRUE(file.write("new"));
    const QStringList made = Temporaries(temp.path());
    ASSERT_EQ(made.size(), 1);
    const QString expected = QStringLiteral("^\\.out\\.gpx\\.orvalis-%1-%2-[0-9a-z]+\\.tmp$").arg(geteuid()).arg(getpid());
    EXPECT_TRUE(QRegularExpression(expected).match(made.first()).hasMatch()) << made.first().toStdString();
    EXPECT_EQ(ModeOf(temp.filePath(made.first())), 0600u);
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(ModeOf(path), 0644u);
    EXPECT_EQ(Temporaries(temp.path()), QStringList());
}

TEST(SaveFile, TheNextSaveSweepsTheLeftoversOfRunsThatAreGone)
{
    QTemporaryDir temp;
    const QByteArray uid = QByteArray::number(geteuid()), dead = QByteArray::number(DeadProcess());
    const auto plant = [&](const QByteArray &name) {
        EXPECT_TRUE(WriteFile(temp.filePath(QString::fromLatin1(name)), "left"));
        return QString::fromLatin1(name);
    };
    const QString gone = plant(".a.gpx.orvalis-" + uid + "-" + dead + "-k3x9.tmp");
    const QString odd = plant("..orvalis-5.orvalis-" + uid + "-" + dead + "-z.tmp");
    // Kept: a run still alive, another user's name, names of no run of ours, a link.
    const QString alive = plant(".b.gpx.orvalis-" + uid + "-" + QByteArray::number(getppid()) + "-k3x9.tmp");
    const QString theirs = plant(".c.gpx.orvalis-" + QByteArray::number(geteuid() + 1) + "-" + dead + "-k3x9.tmp");
    const QString plain = plant(".d.gpx.tmp"), partial = plant(".e.gpx.orvalis-" + uid + "-" + dead + ".tmp");
    const QString link = ".f.gpx.orvalis-" + uid + "-" + dead + "-k3x9.tmp";
    ASSERT_TRUE(QFile::link(temp.filePath(plain), temp.filePath(link)));
    QStringList kept{alive, theirs, plain, partial, link};
    if (const auto other = SecondUser()) {
        const QString notOurs = plant(".g.gpx.orvalis-" + uid + "-" + dead + "-k3x9.tmp");
        ASSERT_EQ(chown(QFile::encodeName(temp.filePath(notOurs)).constData(), other->uid, other->gid), 0);
        kept << notOurs;
    }
    ASSERT_TRUE(SaveFileBytes(temp.filePath("other.gpx"), "new"));
    const QStringList left = Temporaries(temp.path());
    EXPECT_FALSE(left.contains(gone));
    EXPECT_FALSE(left.contains(odd));
    for (const QString &name : kept)
        EXPECT_TRUE(left.contains(name)) << name.toStdString();
}

TEST(SaveFile, ASetIdFileOfAnotherUserIsSetIdOnlyUnderItsOwnName)
{
    const auto other = SecondUser();
    if (!other)
        GTEST_SKIP() << "a file of another user needs root and a second account";
    QTemporaryDir temp;
    const QString path = temp.filePath("t.gpx");
    ASSERT_TRUE(WriteFileOf(path, "old", other->uid, other->gid, 06755));
    // While it is written the temporary file is root's alone.
    {
        AtomicFile file;
        ASSERT_TRUE(file.open(QFile::encodeName(path)));
        ASSERT_TRUE(file.write(QByteArray(1 << 16, 'x')));
        const QStringList made = Temporaries(temp.path());
        ASSERT_EQ(made.size(), 1);
        EXPECT_EQ(ModeOf(temp.filePath(made.first())), 0600u);
        EXPECT_EQ(StatusOf(temp.filePath(made.first())).st_uid, 0u);
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(ModeOf(path), 06755u);
    EXPECT_EQ(StatusOf(path).st_uid, other->uid);
    EXPECT_EQ(StatusOf(path).st_gid, other->gid);
    // Nor as it is given its owner and mode: a watcher sees no set-id temporary file, save after save.
    std::atomic<bool> stop{false};
    std::atomic<int> seen{0}, setId{0};
    std::thread watcher([&] {
        const QByteArray folder = QFile::encodeName(temp.path());
        while (!stop) {
            for (const QString &name : Temporaries(temp.path())) {
                struct stat t {};
                if (lstat((folder + '/' + QFile::encodeName(name)).constData(), &t) == 0) {
                    ++seen;
                    setId += (t.st_mode & (S_ISUID | S_ISGID)) != 0;
                }
            }
        }
    });
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(SaveFileBytes(path, QByteArray(1 << 16, 'a' + i % 26)));
    stop = true;
    watcher.join();
    EXPECT_EQ(setId, 0) << "of " << seen << " temporary files seen";
    EXPECT_EQ(ModeOf(path), 06755u);
}

TEST(SaveFile, AGroupThatCannotBeKeptIsSaid)
{
    const auto user = SecondUser();
    if (!user)
        GTEST_SKIP() << "a user outside the file's group needs root and a second account";
    QTemporaryDir temp;
    ASSERT_EQ(chmod(QFile::encodeName(temp.path()).constData(), 0755), 0);
    const QString folder = temp.filePath("home");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_EQ(chown(QFile::encodeName(folder).constData(), user->uid, user->gid), 0);
    const auto make = [&](const char *name, gid_t group, mode_t mode) {
        EXPECT_TRUE(WriteFileOf(folder + '/' + name, "old", user->uid, group, mode));
        return folder + '/' + name;
    };
    // The user's own files, one of group root (not the user's), one of the user's group.
    const QString shared = make("shared.gpx", 0, 0660), setgid = make("setgid.gpx", 0, 02770), own = make("own.gpx", user->gid, 0640);
    SaveReport sharedReport, setgidReport, ownReport;
    {
        orvalis::testing::ActingAs as(*user);
        EXPECT_TRUE(SaveFileBytes(shared, "new", &sharedReport));
        EXPECT_TRUE(SaveFileBytes(setgid, "new", &setgidReport));
        EXPECT_TRUE(SaveFileBytes(own, "new", &ownReport));
    }
    EXPECT_FALSE(sharedReport.groupKept);
    EXPECT_FALSE(setgidReport.groupKept);
    EXPECT_TRUE(ownReport.groupKept);
    EXPECT_EQ(StatusOf(shared).st_gid, user->gid);
    EXPECT_EQ(ModeOf(shared), 0660u);
    EXPECT_EQ(ModeOf(setgid), 0770u);  // set-group-id to the user's own group is not what it was
    EXPECT_EQ(StatusOf(own).st_uid, user->uid);
    EXPECT_EQ(Contents(own), "new");
}
