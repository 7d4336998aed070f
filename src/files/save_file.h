#pragma once

#include <QByteArray>
#include <QString>

namespace orvalis {

// True when a link at `path` may be followed: anything but a link placed by
// someone else in a sticky folder that everyone may write (like /tmp), where
// another user could point it at a file of ours. The kernel's own protection
// does not apply because the save resolves the link itself.
bool MayFollowLinkAt(const QString &path);

// Replaces the file with `bytes`, whole or not at all (a temporary file beside
// it, renamed over it). In a folder where no temporary file can be made, a
// file that may be written is written in place. A replaced file keeps its
// owner and group where the process may give them. False on any failure.
bool SaveFileBytes(const QString &path, const QByteArray &bytes);

}  // namespace orvalis
