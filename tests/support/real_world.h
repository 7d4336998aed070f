#pragma once

#include <QByteArray>
#include <QDir>
#include <QStringList>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace orvalis::testing {

// Files written by other programs live beside the repository, not in it.
inline QString RealWorldPath(const char *name)
{
    return QStringLiteral(ORVALIS_SHARED_DATA "/real-world/") + QString::fromLatin1(name);
}

inline QByteArray RealWorldFile(const char *name)
{
    QFile f(RealWorldPath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The GPX files of other programs, then this project's own corpus of GPX fields.
inline QStringList GpxCorpus()
{
    QStringList files;
    for (const QString &dir : {QStringLiteral(ORVALIS_SHARED_DATA "/real-world"), QStringLiteral(ORVALIS_TEST_DATA "/fields")})
        for (const QString &name : QDir(dir).entryList({"*.gpx"}, QDir::Files, QDir::Name))
            files << dir + '/' + name;
    return files;
}

inline bool RealWorldFilesPresent()
{
    return QFile::exists(QStringLiteral(ORVALIS_SHARED_DATA "/real-world"));
}

}  // namespace orvalis::testing

// A test of those files skips, with one line that says why, in a clone that has them not beside it.
#define REQUIRE_REAL_WORLD_FILES()                                                                   \
    if (!orvalis::testing::RealWorldFilesPresent())                                                  \
    GTEST_SKIP() << "../shared/testdata/real-world is missing: files written by other programs are not in the repository"
