// The private folder of the map pages: made, written, served and removed
// where other users share the temporary directory.
#include "maps/map_page_file.h"
#include "support/poi_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <atomic>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace orvalis;
using orvalis::testing::WriteFile;

TEST(MapPageFile, FreshPrivateFolderAndNoFollowingLinks)
{
    QTemporaryDir temp;
    QTemporaryDir first(MapPageFolderTemplate(temp.path())), second(MapPageFolderTemplate(temp.path()));
    ASSERT_TRUE(first.isValid() && second.isValid());
    EXPECT_NE(first.path(), second.path());  // a name no one can guess and create first
    EXPECT_TRUE(QFileInfo(first.path()).fileName().startsWith("orvalis-" + CurrentUserName() + "-"));
    EXPECT_TRUE(IsPrivateFolder(first.path()));
    // Folders that are links, open to others or someone else's are not private.
    QDir(temp.path()).mkdir("elsewhere");
    ASSERT_TRUE(QFile::link(temp.filePath("elsewhere"), temp.filePath("link")));
    EXPECT_FALSE(IsPrivateFolder(temp.filePath("link")));
    ASSERT_EQ(chmod(QFile::encodeName(temp.filePath("elsewhere")).constData(), 0755), 0);
    EXPECT_FALSE(IsPrivateFolder(temp.filePath("elsewhere")));
    if (getuid() == 0) {
        ASSERT_EQ(chmod(QFile::encodeName(temp.filePath("elsewhere")).constData(), 0700), 0);
        ASSERT_EQ(chown(QFile::encodeName(temp.filePath("elsewhere")).constData(), 65534, 65534), 0);
        EXPECT_FALSE(IsPrivateFolder(temp.filePath("elsewhere")));
    }
    EXPECT_FALSE(PageFolder("/nonexistent-root-folder").ensure());
}


namespace {

bool Exists(const QString &path)
{
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QByteArray FileText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

}  // namespace

TEST(PageFolder, WritesRelativeToTheFolderItOpenedAndStartsAfreshWhenItIsGone)
{
    QTemporaryDir temp;
    QString first;
    {
        PageFolder folder(temp.path());
        bool fresh = false;
        ASSERT_TRUE(folder.ensure(&fresh));
        EXPECT_TRUE(fresh);
        first = folder.path();
        EXPECT_TRUE(IsPrivateFolder(first));
        EXPECT_TRUE(Exists(first + "/" + PageFolderMarker()));
        ASSERT_TRUE(folder.writeFile("Orvalis.htm", "one"));
        ASSERT_TRUE(folder.writeFile("Orvalis.htm", "two"));
        ASSERT_TRUE(folder.writeFile("leaflet/leaflet.js", "js"));
        EXPECT_EQ(FileText(first + "/Orvalis.htm"), "two");
        EXPECT_EQ(FileText(first + "/leaflet/leaflet.js"), "js");
        EXPECT_FALSE(folder.writeFile("../escape.htm", "x"));
        ASSERT_TRUE(folder.ensure(&fresh));
        EXPECT_FALSE(fresh);
        // Someone swaps the folder's name for a folder of their own: nothing is written there.
        ASSERT_EQ(rename(QFile::encodeName(first).constData(), QFile::encodeName(temp.filePath("moved")).constData()), 0);
        ASSERT_TRUE(QDir().mkdir(first));
        ASSERT_EQ(chmod(QFile::encodeName(first).constData(), 0700), 0);
        EXPECT_FALSE(folder.writeFile("Orvalis.htm", "secret"));
        EXPECT_FALSE(Exists(first + "/Orvalis.htm"));
        ASSERT_TRUE(folder.ensure(&fresh));
        EXPECT_TRUE(fresh);
        EXPECT_NE(folder.path(), first);
        EXPECT_TRUE(Exists(first));  // not ours: left alone
        // Deleted, then loosened: a fresh folder each time.
        const QString second = folder.path();
        QDir(second).removeRecursively();
        ASSERT_TRUE(folder.ensure(&fresh));
        EXPECT_TRUE(fresh);
        const QString third = folder.path();
        ASSERT_EQ(chmod(QFile::encodeName(third).constData(), 0777), 0);
        ASSERT_TRUE(folder.ensure(&fresh));
        EXPECT_TRUE(fresh);
        EXPECT_TRUE(IsPrivateFolder(folder.path()));
        EXPECT_FALSE(Exists(third));  // ours, so removed
        first = folder.path();
    }
    EXPECT_FALSE(Exists(first));  // removed with the object
}

TEST(PageFolder, OnlyFilesWeWroteAreServed)
{
    QTemporaryDir temp;
    PageFolder folder(temp.path());
    ASSERT_TRUE(folder.ensure());
    ASSERT_TRUE(folder.writeFile("Orvalis.htm", "page"));
    ASSERT_TRUE(folder.writeFile("leaflet/leaflet.js", "js"));
    EXPECT_EQ(ReadServedFile(folder.path(), "Orvalis.htm"), std::optional<QByteArray>("page"));
    EXPECT_EQ(ReadServedFile(folder.path(), "leaflet/leaflet.js"), std::optional<QByteArray>("js"));
    const QString outside = temp.filePath("secret");
    ASSERT_TRUE(WriteFile(outside, "secret"));
    ASSERT_TRUE(QFile::link(outside, folder.path() + "/soft.txt"));
    ASSERT_EQ(::link(QFile::encodeName(outside).constData(), QFile::encodeName(folder.path() + "/hard.txt").constData()), 0);
    ASSERT_TRUE(QFile::link(temp.path(), folder.path() + "/up"));
    // A link to a file of ours that has no other name is still a link.
    const QString lone = temp.filePath("lone");
    ASSERT_TRUE(WriteFile(lone, "lone"));
    ASSERT_TRUE(QFile::link(lone, folder.path() + "/lone.txt"));
    for (const char *name : {"soft.txt", "hard.txt", "lone.txt", "up/secret", "../secret", ".orvalis-run", "missing"})
        EXPECT_FALSE(ReadServedFile(folder.path(), QString::fromLatin1(name))) << name;
}

TEST(PageFolder, StaleFoldersOfDeadRunsAreRemovedOthersKept)
{
    QTemporaryDir temp;
    const QString prefix = temp.filePath("orvalis-" + CurrentUserName() + "-");
    auto make = [&](const QString &suffix, const QByteArray &marker) {
        const QString path = prefix + suffix;
        QDir().mkdir(path);
        chmod(QFile::encodeName(path).constData(), 0700);
        if (!marker.isEmpty())
            WriteFile(path + "/" + PageFolderMarker(), marker);
        WriteFile(path + "/Orvalis.htm", "page");
        return path;
    };
    // A process that has ended: its number is free.
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    const QString dead = make("aaaaaa", QByteArray::number(child) + "\n");
    const QString alive = make("bbbbbb", QByteArray::number(getppid()) + "\n");
    const QString unmarked = make("cccccc", {});
    const QString other = make("dddddd", QByteArray::number(child) + "\n");
    // Renamed by someone: found by its marker.
    const QString renamed = make("eeeeee", QByteArray::number(child) + "\n");
    ASSERT_EQ(rename(QFile::encodeName(renamed).constData(), QFile::encodeName(temp.filePath("moved")).constData()), 0);
    const bool root = getuid() == 0;
    if (root) {
        ASSERT_EQ(chown(QFile::encodeName(other).constData(), 65534, 65534), 0);
    }
    EXPECT_EQ(RemoveStalePageFolders(temp.path()), root ? 2 : 3);
    EXPECT_FALSE(Exists(dead));
    EXPECT_FALSE(Exists(temp.filePath("moved")));
    EXPECT_TRUE(Exists(alive));
    EXPECT_TRUE(Exists(unmarked));
    EXPECT_EQ(Exists(other), root);
}

namespace {

// The folders in `dir` that hold a page folder's marker, whatever their names.
QStringList MarkedFolders(const QString &dir)
{
    QStringList marked;
    for (const QString &name : QDir(dir).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        if (Exists(dir + '/' + name + '/' + PageFolderMarker()))
            marked << name;
    return marked;
}

}  // namespace

TEST(PageFolder, AFolderOfOursRenamedInASharedTempIsRemovedAtOnce)
{
    // TEMP open to everyone and not sticky: anyone may rename what is in it.
    QTemporaryDir temp;
    ASSERT_EQ(chmod(QFile::encodeName(temp.path()).constData(), 0777), 0);
    const QString taken = temp.filePath("taken"), planted = temp.filePath("planted");
    {
        PageFolder folder(temp.path());
        ASSERT_TRUE(folder.ensure());
        ASSERT_TRUE(folder.writeFile("leaflet/leaflet.js", "js"));
        const QString first = folder.path();
        // Renamed away, and a folder of someone else's put at its name.
        ASSERT_EQ(rename(QFile::encodeName(first).constData(), QFile::encodeName(taken).constData()), 0);
        ASSERT_TRUE(QDir().mkdir(first));
        ASSERT_TRUE(WriteFile(first + "/Orvalis.htm", "theirs"));
        bool fresh = false;
        ASSERT_TRUE(folder.ensure(&fresh));
        EXPECT_TRUE(fresh);
        EXPECT_FALSE(Exists(taken));  // ours, under whatever name
        EXPECT_EQ(FileText(first + "/Orvalis.htm"), "theirs");
        // The one in use renamed last: gone with the object all the same.
        ASSERT_EQ(rename(QFile::encodeName(folder.path()).constData(), QFile::encodeName(planted).constData()), 0);
    }
    EXPECT_FALSE(Exists(planted));
    EXPECT_EQ(MarkedFolders(temp.path()), QStringList());
}

TEST(PageFolder, RenamingEveryFolderWhilePagesAreWrittenLeavesNone)
{
    QTemporaryDir temp;
    ASSERT_EQ(chmod(QFile::encodeName(temp.path()).constData(), 0777), 0);
    // Another user renames each new page folder once, as soon as it sees it.
    std::atomic<bool> stop{false};
    std::atomic<int> renamed{0};
    std::thread other([&] {
        const QString prefix = QFileInfo(MapPageFolderTemplate(temp.path())).fileName().chopped(6);
        while (!stop) {
            for (const QString &name : QDir(temp.path()).entryList({prefix + '*'}, QDir::Dirs | QDir::Hidden))
                renamed += rename(QFile::encodeName(temp.filePath(name)).constData(),
                                  QFile::encodeName(temp.filePath("moved-" + QString::number(renamed))).constData()) == 0;
        }
    });
    int written = 0;
    {
        PageFolder folder(temp.path());
        for (int page = 0; page < 1000; ++page)
            written += folder.ensure() && folder.writeFile("Orvalis.htm", "page");
        stop = true;
        other.join();
    }
    EXPECT_GT(written, 0);
    EXPECT_EQ(MarkedFolders(temp.path()), QStringList()) << renamed << " folders renamed";
    // A folder renamed between its making and its opening never held anything: it may stay, empty.
    for (const QString &name : QDir(temp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        EXPECT_TRUE(QDir(temp.filePath(name)).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) << name.toStdString();
}
