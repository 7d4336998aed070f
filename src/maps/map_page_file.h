#pragma once

#include <QByteArray>
#include <QString>

namespace orvalis {

// The one map file of the program, in a private folder of the temporary
// directory: <temp>/orvalis-<user>/Orvalis.htm.
QString MapPageFolder(const QString &tempDir, const QString &userName);
QString MapPagePath(const QString &tempDir, const QString &userName);
QString CurrentUserName();

// Creates a folder with mode 0700 when missing; false when it cannot, or when
// what is there is a link, no folder, or someone else's.
bool EnsurePrivateFolder(const QString &path);
// Creates the folder with mode 0700 when missing (refusing a folder owned by
// someone else or a symbolic link) and replaces the file with `bytes`,
// without following a symbolic link at the file's place. False on failure.
bool WritePrivateFile(const QString &path, const QByteArray &bytes);

}  // namespace orvalis
