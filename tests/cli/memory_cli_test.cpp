// What orvalis-cli holds in memory: bounded where the job does not need the
// input, and a message with exit 1 where memory runs out.
#include "support/cli_child.h"
#include "support/poi_files.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvalis::testing;

namespace {

struct Child {
    int code = -1;  // -1: killed by a signal
    QByteArray err;
    qint64 peakBytes = 0;
};

// The CLI in a child process: standard input from `in` (a file), standard
// output to `out`, at most `addressSpace` bytes of memory when given.
Child RunChild(const QList<QByteArray> &args, const QByteArray &in = "/dev/null", const QByteArray &out = "/dev/null",
               rlim_t addressSpace = 0)
{
    QTemporaryDir temp;
    const QByteArray err = QFile::encodeName(temp.filePath("err"));
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(::open(in.constData(), O_RDONLY), 0);
        dup2(::open(out.constData(), O_WRONLY), 1);
        dup2(::open(err.constData(), O_WRONLY | O_CREAT, 0600), 2);
        setenv("LC_ALL", "C", 1);
        if (addressSpace != 0) {
            const rlimit limit{addressSpace, addressSpace};
            setrlimit(RLIMIT_AS, &limit);
        }
        ExecCli(args);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    QFile e(temp.filePath("err"));
    e.open(QIODevice::ReadOnly);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, e.readAll(), qint64(usage.ru_maxrss) * 1024};
}

// A file of `head` then `line` again and again, by its name as bytes.
QByteArray Csv(const QString &path, const QByteArray &head, const QByteArray &line, qint64 bytes)
{
    EXPECT_TRUE(WriteRepeated(path, head, line, bytes));
    return QFile::encodeName(path);
}

}  // namespace

TEST(CliMemory, RunningOutOfMemoryIsAMessageAndExitOne)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than the limit";
#endif
    QTemporaryDir temp;
    // 40 MB of rows loaded whole as the window does: more than 300 MB of address space allows.
    const QByteArray in = Csv(temp.filePath("big.csv"), "latitude,longitude,name\n", "48.85661,2.35222,Paris centre\n", 40 << 20);
    const Child table = RunChild({"table", in}, "/dev/null", "/dev/null", rlim_t(300) << 20);
    EXPECT_EQ(table.code, 1);
    // The allocator may say a word of its own first.
    EXPECT_TRUE(table.err.endsWith("\norvalis-cli: not enough memory for this input\n") ||
                table.err == "orvalis-cli: not enough memory for this input\n")
        << table.err.constData();
}

TEST(CliMemory, AFailedWriteToStandardOutputIsToldOnce)
{
    QTemporaryDir temp;
    const QByteArray in = Csv(temp.filePath("rows.csv"), "latitude,longitude,name\n", "48.85661,2.35222,Paris\n", 1 << 20);
    for (const QList<QByteArray> &args : {QList<QByteArray>{"table", in}, QList<QByteArray>{"distance", "48", "2", "47", "1"},
                                          QList<QByteArray>{"convert", in, "-", "--to", "gpx"}}) {
        const Child c = RunChild(args, "/dev/null", "/dev/full");
        EXPECT_EQ(c.code, 1) << args.first().constData();
        EXPECT_EQ(c.err, "orvalis-cli: cannot write the standard output: No space left on device\n") << args.first().constData();
    }
}
