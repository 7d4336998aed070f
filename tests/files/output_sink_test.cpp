// Where the commands write: a file replaced only when complete, or the
// standard output, with every failure saying where it happened.
#include "files/output_sink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>

using namespace orvalis;

namespace {

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Rest(std::FILE *file)
{
    std::rewind(file);
    QByteArray all;
    char buf[4096];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, file)) > 0)
        all.append(buf, qsizetype(n));
    return all;
}

}  // namespace

TEST(OutputSink, AFileIsReplacedOnlyWhenComplete)
{
    QTemporaryDir temp;
    const QString path = temp.filePath("out.ov2");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    {
        OutputSink sink(QFile::encodeName(path));
        QByteArray bytes = "....body";
        sink.write(bytes);
        EXPECT_TRUE(bytes.isEmpty());
        EXPECT_EQ(Read(path), QByteArray("old"));
        sink.writeAt(0, "HEAD");
        sink.commit();
    }
    EXPECT_EQ(Read(path), QByteArray("HEADbody"));
    {
        // Abandoned on the way (a failure elsewhere): the file stays, nothing is left beside it.
        OutputSink sink(QFile::encodeName(path));
        QByteArray bytes = "half";
        sink.write(bytes);
    }
    EXPECT_EQ(Read(path), QByteArray("HEADbody"));
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.ov2"});
}

TEST(OutputSink, TheStandardOutputWaitsInASpoolForAHeadWrittenLast)
{
    std::FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        OutputSink sink("-", out);
        sink.spoolUntilEnd();
        QByteArray bytes = "....body";
        RecordOutput output = sink.output();
        output.write(bytes);
        EXPECT_EQ(std::ftell(out), 0);  // nothing before the end
        output.writeAt(0, "HEAD");
        sink.commit();
    }
    EXPECT_EQ(Rest(out), QByteArray("HEADbody"));
    std::fclose(out);
    // Without a spool the bytes go out as they come.
    out = std::tmpfile();
    OutputSink direct("-", out);
    QByteArray bytes = "now";
    direct.write(bytes);
    std::fflush(out);
    EXPECT_EQ(Rest(out), QByteArray("now"));
    std::fclose(out);
}

TEST(OutputSink, FailuresSayWhereAndWhy)
{
    // A full standard output.
    std::FILE *full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    try {
        OutputSink sink("-", full);
        QByteArray bytes(1 << 20, 'x');
        sink.write(bytes);
        sink.commit();
        ADD_FAILURE() << "a full standard output was written";
    } catch (const OutputFailure &f) {
        EXPECT_EQ(f.where, OutputFailure::StandardOutput);
        EXPECT_EQ(f.error, ENOSPC);
    }
    std::fclose(full);
    // A folder is no file to write; neither is a file in a folder that does not exist.
    QTemporaryDir temp;
    for (const QString &path : {temp.path(), temp.filePath("no/such/out.gpx")}) {
        try {
            OutputSink sink(QFile::encodeName(path));
            ADD_FAILURE() << path.toStdString() << " was opened";
        } catch (const OutputFailure &f) {
            EXPECT_EQ(f.where, OutputFailure::File);
            EXPECT_EQ(f.path, QFile::encodeName(path));
            EXPECT_NE(f.why, SaveFailure::None);
        }
    }
    try {
        OutputSink sink(QFile::encodeName(temp.path()));
    } catch (const OutputFailure &f) {
        EXPECT_EQ(f.why, SaveFailure::Refused);
    }
}
