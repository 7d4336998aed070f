// What orvalis-cli writes and says about its outputs: the OV2 box, and the
// reason an output could not be written.
#include "support/poi_files.h"
#include "support/run_cli.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <unistd.h>

using namespace orvalis::testing;

TEST(CliOutput, Ov2BoxIsThePoisOwnWhateverTheirSign)
{
    QTemporaryDir temp;
    ASSERT_TRUE(WriteFile(temp.filePath("west.csv"), "latitude,longitude,name\n30,-20,a\n31.5,-22.25,b\n"));
    ASSERT_TRUE(WriteFile(temp.filePath("south.csv"), "latitude,longitude,name\n-30,20,a\n-31.5,22.25,b\n"));
    for (const auto &[in, east, north, west, south] : {std::tuple{"west", -2000000, 3150000, -2225000, 3000000},
                                                      std::tuple{"south", 2225000, -3000000, 2000000, -3150000}}) {
        const QString out = temp.filePath(QString::fromLatin1(in) + ".ov2");
        EXPECT_EQ(RunCli("C", {"convert", temp.filePath(QString::fromLatin1(in) + ".csv"), out}).code, 0);
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray b = f.readAll();
        ASSERT_GE(b.size(), 21);
        EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + 5), east) << in;
        EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + 9), north) << in;
        EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + 13), west) << in;
        EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + 17), south) << in;
    }
}

TEST(CliOutput, AnOutputThatCannotBeWrittenSaysWhy)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.csv");
    ASSERT_TRUE(WriteFile(in, "latitude,longitude,name\n30,-20,a\n"));
    const auto failure = [&](const QString &out) {
        const Result r = RunCli("C", {"convert", in, out});
        EXPECT_EQ(r.code, 1) << out.toStdString();
        return r.err;
    };
    EXPECT_EQ(failure(temp.filePath("missing/out.gpx")),
              QStringLiteral("orvalis-cli: %1: cannot write the file (No such file or directory); nothing was changed\n").arg(temp.filePath("missing/out.gpx")));
    EXPECT_EQ(failure(in + "/out.gpx"),
              QStringLiteral("orvalis-cli: %1/out.gpx: cannot write the file (Not a directory); nothing was changed\n").arg(in));
    ASSERT_TRUE(QDir(temp.path()).mkdir("folder.gpx"));
    EXPECT_EQ(failure(temp.filePath("folder.gpx")),
              QStringLiteral("orvalis-cli: %1: cannot write the file (not a regular file, or a link that may not be followed); nothing was changed\n")
                  .arg(temp.filePath("folder.gpx")));
    // An immutable or append-only target (where the file system has them, and we may set them).
    for (const int flag : {FS_IMMUTABLE_FL, FS_APPEND_FL}) {
        const QString out = temp.filePath("kept.gpx");
        ASSERT_TRUE(WriteFile(out, "old"));
        const int fd = ::open(QFile::encodeName(out).constData(), O_RDONLY);
        int flags = 0;
        if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 || (flags |= flag, ioctl(fd, FS_IOC_SETFLAGS, &flags)) != 0) {
            ::close(fd);
            GTEST_SKIP() << "no immutable or append-only files here";
        }
        const QString err = failure(out);
        flags &= ~flag;
        ioctl(fd, FS_IOC_SETFLAGS, &flags);
        ::close(fd);
        EXPECT_EQ(err, QStringLiteral("orvalis-cli: %1: cannot write the file (Operation not permitted); nothing was changed\n").arg(out));
    }
}
