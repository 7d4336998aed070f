#pragma once

#include <QByteArray>
#include <QString>

namespace orvalis {

// The one map file of the program, in a private folder of the temporary
// directory made fresh by each run: <temp>/orvalis-<user>-XXXXXX/Orvalis.htm.
// A fixed name could be created beforehand by another user of the machine.
QString MapPageFolderTemplate(const QString &tempDir);
QString MapPageFile(const QString &folder);
QString CurrentUserName();

// True for a real folder (no link) of this user that no one else may enter.
bool IsPrivateFolder(const QString &path);
// Creates a folder with mode 0700 when missing; false when it cannot, or when
// what is there is not a private folder (see IsPrivateFolder).
bool EnsurePrivateFolder(const QString &path);
// Creates the folder with mode 0700 when missing (refusing a folder owned by
// someone else or a symbolic link) and replaces the file with `bytes`,
// without following a symbolic link at the file's place. False on failure.
bool WritePrivateFile(const QString &path, const QByteArray &bytes);

}  // namespace orvalis
