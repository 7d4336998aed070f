#include "maps/browser_launch.h"
#include "maps/map_page_file.h"
#include "maps/pin_readback.h"
#include "support/poi_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvalis;
using orvalis::testing::WriteFile;

TEST(BrowserDetection, DesktopEntriesToCodes)
{
    EXPECT_EQ(BrowserCodeFromDesktopEntry("firefox.desktop"), QStringLiteral("FF"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("firefox-esr.desktop\n"), QStringLiteral("FF"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("org.mozilla.firefox.desktop"), QStringLiteral("FF"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("chromium.desktop"), QStringLiteral("CH"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("google-chrome.desktop"), QStringLiteral("CH"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("opera.desktop"), QStringLiteral("OP"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("org.gnome.Epiphany.desktop"), QString());
    EXPECT_EQ(BrowserCodeFromDesktopEntry(""), QString());
}

TEST(BrowserLaunch, CommandLinesKeepPathsWhole)
{
    const QString path = "/tmp/my maps/orvalis-me/Orvalis.htm";
    auto ff = ExternalLaunchCommand("FF", "firefox.desktop", path);
    ASSERT_TRUE(ff);
    EXPECT_EQ(ff->program, QStringLiteral("firefox"));
    EXPECT_EQ(ff->arguments, (QStringList{"-url", path, "-fullscreen"}));
    auto ch = ExternalLaunchCommand("CH", "google-chrome.desktop", path);
    ASSERT_TRUE(ch);
    EXPECT_EQ(ch->program, QStringLiteral("google-chrome"));
    EXPECT_EQ(ch->arguments, (QStringList{"--start", "--window-position=0,0", "--window-size=800,600",
                                          "--app=file:///tmp/my maps/orvalis-me/Orvalis.htm"}));
    EXPECT_EQ(ExternalLaunchCommand("CH", "chromium.desktop", path)->program, QStringLiteral("chromium"));
    EXPECT_FALSE(ExternalLaunchCommand("OP", "opera.desktop", path));
    EXPECT_FALSE(ExternalLaunchCommand("", "", path));
}

TEST(WebLinks, GeocacheAddressAndShellMessages)
{
    EXPECT_EQ(GeocacheAddress("GC1ABCD Le château"),
              QStringLiteral("http://www.geocaching.com/seek/cache_details.aspx?wp=GC1ABCD&Submit6=Go"));
    EXPECT_EQ(GeocacheAddress("GC"), QStringLiteral("http://www.geocaching.com/seek/cache_details.aspx?wp=GC&Submit6=Go"));
    EXPECT_EQ(ShellErrorMessage(32), QStringLiteral("Désolé, DLL manquante"));
    EXPECT_EQ(ShellErrorMessage(33), QString());
    EXPECT_EQ(ShellErrorMessage(4), QStringLiteral("Error n° 1072"));
    EXPECT_EQ(ShellErrorMessage(0), QStringLiteral("Désolé, mais l'ordinateur est à court de mémoire"));
    EXPECT_EQ(ShellErrorMessage(2), QStringLiteral("Désolé, mais le programme n'existe pas."));
    EXPECT_EQ(ShellErrorMessage(31), QStringLiteral("Le fichier n'a pas d'association Windows."));
}

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

TEST(PinReadBack, AddPageFirstLine)
{
    const QString t = ReadBackText("48.853200, 2.348900\nMap data\n");
    EXPECT_EQ(t, QStringLiteral("48.853200, 2.348900\r\nMap data\r\n,"));
    auto r = FinishReading(ScanAddPage(t), u',');
    ASSERT_TRUE(r);
    EXPECT_EQ(r->latitude, QStringLiteral("48,85320"));
    EXPECT_EQ(r->longitude, QStringLiteral("2,348900"));
    EXPECT_FALSE(FinishReading(ScanAddPage(ReadBackText("\nMap data")), u','));  // no pin dragged
    EXPECT_FALSE(FinishReading(ScanAddPage(QString()), u','));
    // Only '-' to '9' make the latitude; the longitude is taken as it stands.
    r = FinishReading(ScanAddPage("lat:-33.868820, 151.2O9x,"), u'.');
    ASSERT_TRUE(r);
    EXPECT_EQ(r->latitude, QStringLiteral("-33.8688"));
    EXPECT_EQ(r->longitude, QStringLiteral("151.2O9x"));
}

TEST(PinReadBack, MovePageAnchorAndEdges)
{
    const QString t = ReadBackText("Map\nLégendes\nDéplacez la punaise à l'aide de la souris\n-33.868820, 151.209296\nSydney NSW\n");
    auto r = FinishReading(ScanMovePage(t), u',');
    ASSERT_TRUE(r);
    EXPECT_EQ(r->latitude, QStringLiteral("-33,8688"));  // cut, not rounded
    EXPECT_EQ(r->longitude, QStringLiteral("151,2092"));
    EXPECT_FALSE(HasMoveAnchor(ReadBackText("no anchor\n1.5, 2.5")));
    EXPECT_FALSE(FinishReading(ScanMovePage(ReadBackText("no anchor\n1.5, 2.5")), u','));
    // Scans that run out of text end there.
    EXPECT_FALSE(FinishReading(ScanMovePage("Légendes"), u','));
    EXPECT_FALSE(FinishReading(ScanMovePage("Légendes\r\n12"), u','));
    EXPECT_FALSE(FinishReading(ScanAddPage("12,"), u','));
    EXPECT_FALSE(FinishReading(ScanAddPage("12, "), u','));
    r = FinishReading(ScanAddPage("12, 3"), u'.');
    ASSERT_TRUE(r);
    EXPECT_EQ(r->longitude, QStringLiteral("3"));
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
    const bool root = getuid() == 0;
    if (root) {
        ASSERT_EQ(chown(QFile::encodeName(other).constData(), 65534, 65534), 0);
    }
    EXPECT_EQ(RemoveStalePageFolders(temp.path()), root ? 1 : 2);
    EXPECT_FALSE(Exists(dead));
    EXPECT_TRUE(Exists(alive));
    EXPECT_TRUE(Exists(unmarked));
    EXPECT_EQ(Exists(other), root);
}
