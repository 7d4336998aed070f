// The window's saves where another user's links and groups come in.
#include "support/app_fixture.h"
#include "support/poi_files.h"
#include "support/second_user.h"

#include <QDir>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

// The window with five POIs loaded and the table marked as changed.
std::unique_ptr<AppFixture> LoadedWindow()
{
    auto app = std::make_unique<AppFixture>();
    app->show();
    const QString source = app->temp.filePath("source.ov2");
    EXPECT_TRUE(WriteOv2File(source, SamplePois()));
    app->load(source);
    app->tab()->setModified(true);
    return app;
}

// Saves through `button`, the save dialog answering `path` and any question "&Oui".
void SaveThrough(AppFixture &app, const char *button, const QString &path)
{
    app.dialogs.fileNames = {path};
    app.dialogs.answers = {true};
    app.find<QPushButton>(button)->click();
}

}  // namespace

TEST(SaveLinks, AnotherUsersLinkToAFolderOnThePathIsNotFollowed)
{
    const auto other = SecondUser();
    if (!other)
        GTEST_SKIP() << "links of another user need root and a second account";
    const auto app = LoadedWindow();
    const QString sticky = app->temp.filePath("sticky"), secret = app->temp.filePath("private");
    ASSERT_TRUE(QDir().mkdir(sticky) && QDir().mkdir(secret));
    ASSERT_EQ(chmod(QFile::encodeName(sticky).constData(), 01777), 0);
    const QByteArray dlink = QFile::encodeName(sticky + "/dlink");
    ASSERT_EQ(symlink(QFile::encodeName(secret).constData(), dlink.constData()), 0);
    ASSERT_EQ(lchown(dlink.constData(), other->uid, other->gid), 0);
    SaveThrough(*app, "BitBtn11", sticky + "/dlink/x.ov2");
    SaveThrough(*app, "BitBtn15", sticky + "/dlink/x.gpx");
    SaveThrough(*app, "BitBtn18", sticky + "/dlink/x.csv");
    EXPECT_EQ(app->dialogs.texts("message"), (QStringList{"Impossible de creer le fichier OV2", "Impossible de creer le fichier GPX",
                                                          "Impossible de creer le fichier CSV"}));
    EXPECT_TRUE(QDir(secret).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_TRUE(app->tab()->isModified());
}

TEST(SaveLinks, AGroupThatCannotBeKeptIsSaidAfterTheSuccessMessage)
{
    const auto user = SecondUser();
    if (!user)
        GTEST_SKIP() << "a user outside the file's group needs root and a second account";
    const auto app = LoadedWindow();
    ASSERT_EQ(chmod(QFile::encodeName(app->temp.path()).constData(), 0755), 0);
    const QString home = app->temp.filePath("home");
    ASSERT_TRUE(QDir().mkdir(home));
    ASSERT_EQ(chown(QFile::encodeName(home).constData(), user->uid, user->gid), 0);
    // The user's own files of group root, which the user is not in, then one of the user's group.
    const QString gpx = home + "/shared.gpx", csv = home + "/shared.csv", own = home + "/own.ov2";
    ASSERT_TRUE(WriteFileOf(gpx, "old", user->uid, 0, 0660));
    ASSERT_TRUE(WriteFileOf(csv, "old", user->uid, 0, 0660));
    ASSERT_TRUE(WriteFileOf(own, "old", user->uid, user->gid, 0660));
    {
        ActingAs as(*user);
        SaveThrough(*app, "BitBtn15", gpx);
        SaveThrough(*app, "BitBtn18", csv);
        SaveThrough(*app, "BitBtn11", own);
    }
    const QString note = QStringLiteral("\n\nLe groupe du fichier n'a pas pu être conservé.");
    EXPECT_EQ(app->dialogs.texts("information"),
              (QStringList{"Le fichier\n" + gpx + "\na été correctement créé.\n\nIl contient 5 POIs" + note,
                           "Le fichier\n" + csv + "\na été correctement créé." + note,
                           "Le fichier\n" + own + "\na été correctement créé.\n\nIl contient 5 POIs"}));
    EXPECT_EQ(StatusOf(gpx).st_gid, user->gid);
    EXPECT_EQ(StatusOf(own).st_gid, user->gid);
    EXPECT_FALSE(app->tab()->isModified());
}
