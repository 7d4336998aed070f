#include "files/poi_file.h"
#include "files/save_file.h"
#include "support/poi_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace orvalis;
using orvalis::testing::WriteFile;

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
        FileBytes file;
        ASSERT_TRUE(file.openNative(folder + "/x" + QByteArray(1, static_cast<char>(b)) + ".gpx")) << b;
        EXPECT_EQ(file.data(), QByteArray::number(b));
    }
}

TEST(SaveFile, LinksPlantedByOthersInSharedFoldersAreNotFollowed)
{
    if (getuid() != 0)
        GTEST_SKIP() << "planting a link of another user needs root";
    QTemporaryDir temp;
    const QString shared = temp.filePath("tmp");
    QDir().mkpath(shared);
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString precious = temp.filePath("precious");
    ASSERT_TRUE(WriteFile(precious, "keep"));
    const QString link = shared + "/export.gpx";
    ASSERT_TRUE(QFile::link(precious, link));
    ASSERT_EQ(lchown(QFile::encodeName(link).constData(), kNobody, kNobody), 0);
    EXPECT_FALSE(MayFollowLinkAt(link));
    EXPECT_FALSE(SaveFileBytes(link, "evil"));
    EXPECT_EQ(Contents(precious), "keep");
    // A dangling link creates nothing.
    const QString dangling = shared + "/new.gpx";
    ASSERT_TRUE(QFile::link(temp.filePath("created"), dangling));
    ASSERT_EQ(lchown(QFile::encodeName(dangling).constData(), kNobody, kNobody), 0);
    EXPECT_FALSE(SaveFileBytes(dangling, "evil"));
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("created")));
    // Our own link there, or another user's link in a folder that is not shared, is followed.
    const QString own = shared + "/own.gpx";
    ASSERT_TRUE(QFile::link(precious, own));
    EXPECT_TRUE(SaveFileBytes(own, "mine"));
    EXPECT_EQ(Contents(precious), "mine");
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 0755), 0);
    EXPECT_TRUE(MayFollowLinkAt(link));
    // Sticky but not world-writable (1755): another user's link is followed.
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 01755), 0);
    EXPECT_TRUE(MayFollowLinkAt(link));
    // A link of ours in a shared folder owned by another user is followed; theirs too (the folder's owner).
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 01777), 0);
    ASSERT_EQ(chown(QFile::encodeName(shared).constData(), kNobody, kNobody), 0);
    EXPECT_TRUE(MayFollowLinkAt(own));
    EXPECT_TRUE(MayFollowLinkAt(link));
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
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 07777;
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
