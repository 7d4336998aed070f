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

TEST(SaveFile, ReplacesWholeAndWritesInPlaceWhereNoTemporaryFileFits)
{
    QTemporaryDir temp;
    const QString path = temp.filePath("a.gpx");
    ASSERT_TRUE(SaveFileBytes(path, "one"));
    ASSERT_TRUE(SaveFileBytes(path, "two"));
    EXPECT_EQ(Contents(path), "two");
    EXPECT_FALSE(SaveFileBytes(temp.filePath("missing/a.gpx"), "x"));
    // A writable file in a folder where no temporary file can be made: replaced in place.
    if (!SetImmutable(temp.path(), true))
        GTEST_SKIP() << "this file system cannot lock a folder";
    EXPECT_TRUE(SaveFileBytes(path, "three"));
    SetImmutable(temp.path(), false);
    EXPECT_EQ(Contents(path), "three");
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files), QStringList{"a.gpx"});
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
