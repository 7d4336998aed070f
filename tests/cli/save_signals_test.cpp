// What the CLI leaves in the output's folder when a save is cut short, and
// where another user's links and groups come in.
#include "support/poi_files.h"
#include "support/second_user.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvalis::testing;

namespace {

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QStringList Temporaries(const QString &folder)
{
    return QDir(folder).entryList({"*.tmp"}, QDir::Files | QDir::Hidden | QDir::System);
}

// orvalis-cli converting an endless stream of waypoints from a pipe into `out`,
// started as a shell starts it (the ending signals at their default), after `setUp`.
class EndlessConvert {
public:
    explicit EndlessConvert(const QString &out, const std::function<void()> &setUp = {})
    {
        std::signal(SIGPIPE, SIG_IGN);  // this side writes to the pipe after the run ends
        int fds[2] = {-1, -1};
        EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
        const QByteArray target = QFile::encodeName(out);
        pid_ = fork();
        if (pid_ == 0) {
            const int devnull = ::open("/dev/null", O_WRONLY);
            dup2(fds[0], 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
            for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
                std::signal(s, SIG_DFL);
            if (setUp)
                setUp();
            setenv("LC_ALL", "C", 1);
            execl(ORVALIS_CLI, ORVALIS_CLI, "convert", "-", target.constData(), "--from", "gpx", static_cast<char *>(nullptr));
            _exit(127);
        }
        ::close(fds[0]);
        input_ = fds[1];
        feed("<gpx>\n");
    }
    ~EndlessConvert()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            finish();
        }
        std::signal(SIGPIPE, SIG_DFL);
    }
    pid_t pid() const { return pid_; }
    // Feeds waypoints until the temporary file in `folder` has some of them written.
    bool feedUntilWritten(const QString &folder)
    {
        QByteArray block;
        while (block.size() < (1 << 20))
            block += "<wpt lat=\"48.5\" lon=\"2.5\"><name>Gare</name><desc>Quai 1</desc></wpt>\n";
        for (int mb = 0; mb < 2000; ++mb) {
            if (!feed(block))
                return false;
            const QStringList made = Temporaries(folder);
            if (made.size() == 1 && QFileInfo(folder + '/' + made.first()).size() > 0)
                return true;
        }
        return false;
    }
    // The end of the input, then the run's wait status.
    int finish()
    {
        if (input_ >= 0)
            ::close(input_);
        input_ = -1;
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    bool feed(const QByteArray &bytes)
    {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(input_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

    pid_t pid_ = -1;
    int input_ = -1;
};

struct CliRun {
    int code = -1;
    QString err;
};

// orvalis-cli with these arguments, as `who` when given.
CliRun RunCliAs(const QStringList &args, const std::optional<Account> &who = {}, const QString &locale = "C",
             const QString &folder = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", locale);
    env.remove("LANG");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    if (who) {
        const Account a = *who;
        p.setChildProcessModifier([a] {
            if (setgroups(0, nullptr) != 0 || setgid(a.gid) != 0 || setuid(a.uid) != 0)
                _exit(126);
        });
    }
    p.start(QStringLiteral(ORVALIS_CLI), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

TEST(CliSaves, EndingSignalsLeaveNoTemporaryFileAndEndTheRunAsTheSignal)
{
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        QTemporaryDir temp;
        const QString out = temp.filePath("out.gpx");
        ASSERT_TRUE(WriteFile(out, "old"));
        EndlessConvert run(out);
        ASSERT_TRUE(run.feedUntilWritten(temp.path())) << sig;
        ASSERT_EQ(::kill(run.pid(), sig), 0);
        const int status = run.finish();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << ": " << status;
        EXPECT_EQ(Entries(temp.path()), QStringList{"out.gpx"}) << sig;
        QFile old(out);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), "old") << sig;
    }
    // A run that was told to ignore hang-ups (nohup) goes on to the end.
    QTemporaryDir temp;
    EndlessConvert run(temp.filePath("out.gpx"), [] { std::signal(SIGHUP, SIG_IGN); });
    ASSERT_TRUE(run.feedUntilWritten(temp.path()));
    ASSERT_EQ(::kill(run.pid(), SIGHUP), 0);
    const int status = run.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Entries(temp.path()), QStringList{"out.gpx"});
}

TEST(CliSaves, TheLeftoverOfAKilledRunSaysWhoseItIsAndTheNextSaveRemovesIt)
{
    QTemporaryDir temp;
    const QString out = temp.filePath("out.gpx");
    ASSERT_TRUE(WriteFile(out, "old"));
    ASSERT_EQ(chmod(QFile::encodeName(out).constData(), 0644), 0);
    pid_t killed = -1;
    {
        EndlessConvert run(out);
        ASSERT_TRUE(run.feedUntilWritten(temp.path()));
        killed = run.pid();
        ASSERT_EQ(::kill(killed, SIGKILL), 0);
        run.finish();
    }
    const QStringList left = Temporaries(temp.path());
    ASSERT_EQ(left.size(), 1);
    const QString whose = QStringLiteral("^\\.out\\.gpx\\.orvalis-%1-%2-[0-9a-z]+\\.tmp$").arg(geteuid()).arg(killed);
    EXPECT_TRUE(QRegularExpression(whose).match(left.first()).hasMatch()) << left.first().toStdString();
    EXPECT_EQ(StatusOf(temp.filePath(left.first())).st_mode & 07777, 0600u);
    // The next save into that folder, of any file, removes it.
    const QString small = temp.filePath("small.ov2");
    ASSERT_TRUE(WriteOv2File(small, SamplePois()));
    EXPECT_EQ(RunCliAs({"convert", small, temp.filePath("other.gpx")}).code, 0);
    EXPECT_EQ(Entries(temp.path()), (QStringList{"other.gpx", "out.gpx", "small.ov2"}));
}

TEST(CliSaves, ASetIdFileOfAnotherUserIsWrittenUnderAPrivateTemporaryFile)
{
    const auto other = SecondUser();
    if (!other)
        GTEST_SKIP() << "a file of another user needs root and a second account";
    QTemporaryDir temp;
    const QString out = temp.filePath("t.gpx");
    ASSERT_TRUE(WriteFileOf(out, "old", other->uid, other->gid, 04755));
    EndlessConvert run(out);
    ASSERT_TRUE(run.feedUntilWritten(temp.path()));
    const QStringList made = Temporaries(temp.path());
    ASSERT_EQ(made.size(), 1);
    const struct stat written = StatusOf(temp.filePath(made.first()));
    EXPECT_EQ(written.st_mode & 07777, 0600u);
    EXPECT_EQ(written.st_uid, 0u);
    const int status = run.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const struct stat saved = StatusOf(out);
    EXPECT_EQ(saved.st_mode & 07777, 04755u);
    EXPECT_EQ(saved.st_uid, other->uid);
    EXPECT_EQ(Entries(temp.path()), QStringList{"t.gpx"});
}

TEST(CliSaves, AnotherUsersLinkToAFolderOnThePathIsNotFollowed)
{
    const auto other = SecondUser();
    if (!other)
        GTEST_SKIP() << "links of another user need root and a second account";
    QTemporaryDir temp;
    const QString sticky = temp.filePath("sticky"), secret = temp.filePath("private");
    ASSERT_TRUE(QDir().mkdir(sticky) && QDir().mkdir(secret));
    ASSERT_EQ(chmod(QFile::encodeName(sticky).constData(), 01777), 0);
    ASSERT_EQ(chmod(QFile::encodeName(secret).constData(), 0700), 0);
    const QByteArray dlink = QFile::encodeName(sticky + "/dlink");
    ASSERT_EQ(symlink(QFile::encodeName(secret).constData(), dlink.constData()), 0);
    ASSERT_EQ(lchown(dlink.constData(), other->uid, other->gid), 0);
    const QString small = temp.filePath("small.ov2");
    ASSERT_TRUE(WriteOv2File(small, SamplePois()));
    // Named from the top, and from the working folder.
    const CliRun absolute = RunCliAs({"convert", small, sticky + "/dlink/x.gpx"});
    EXPECT_EQ(absolute.code, 1);
    EXPECT_TRUE(absolute.err.contains("cannot write the file")) << absolute.err.toStdString();
    EXPECT_EQ(RunCliAs({"convert", small, "dlink/y.gpx"}, {}, "C", sticky).code, 1);
    EXPECT_EQ(Entries(secret), QStringList());
    // Our own link there is followed.
    ASSERT_EQ(symlink(QFile::encodeName(secret).constData(), QFile::encodeName(sticky + "/mine").constData()), 0);
    EXPECT_EQ(RunCliAs({"convert", small, "mine/z.gpx"}, {}, "C", sticky).code, 0);
    EXPECT_EQ(Entries(secret), QStringList{"z.gpx"});
}

TEST(CliSaves, AGroupThatCannotBeKeptIsSaidOnStandardError)
{
    const auto user = SecondUser();
    if (!user)
        GTEST_SKIP() << "a user outside the file's group needs root and a second account";
    QTemporaryDir temp;
    ASSERT_EQ(chmod(QFile::encodeName(temp.path()).constData(), 0755), 0);
    const QString home = temp.filePath("home"), small = temp.filePath("small.ov2");
    ASSERT_TRUE(QDir().mkdir(home));
    ASSERT_EQ(chown(QFile::encodeName(home).constData(), user->uid, user->gid), 0);
    ASSERT_TRUE(WriteOv2File(small, SamplePois()));
    ASSERT_EQ(chmod(QFile::encodeName(small).constData(), 0644), 0);
    const auto make = [&](const QString &name, gid_t group) {
        EXPECT_TRUE(WriteFileOf(home + '/' + name, "old", user->uid, group, 0660));
        return home + '/' + name;
    };
    // The user's own file of group root, which the user is not in: saved, and said.
    const QString shared = make("shared.gpx", 0);
    const CliRun english = RunCliAs({"convert", small, shared}, user);
    EXPECT_EQ(english.code, 0);
    EXPECT_EQ(english.err, "orvalis-cli: " + shared + ": written, but its group could not be kept\n");
    EXPECT_EQ(StatusOf(shared).st_gid, user->gid);
    EXPECT_EQ(StatusOf(shared).st_mode & 07777, 0660u);
    ASSERT_EQ(chown(QFile::encodeName(shared).constData(), user->uid, 0), 0);
    const CliRun french = RunCliAs({"convert", small, shared}, user, "fr_FR.UTF-8");
    EXPECT_EQ(french.code, 0);
    EXPECT_EQ(french.err, "orvalis-cli: " + shared + QStringLiteral(" : écrit, mais son groupe n'a pas pu être conservé\n"));
    // A file of the user's group: nothing to say.
    const CliRun own = RunCliAs({"convert", small, make("own.gpx", user->gid)}, user);
    EXPECT_EQ(own.code, 0);
    EXPECT_EQ(own.err, QString());
}
