#pragma once

#include <QByteArray>
#include <dirent.h>
#include <sys/stat.h>

namespace orvalis {

// True when the link `link`, found in the folder `folder`, may be followed:
// anything but a link placed by someone else in a sticky folder that everyone
// may write (like /tmp), where another user could point it at a file of ours.
bool MayFollowLink(const struct stat &link, const struct stat &folder);

// Opens the folder that holds the last part of `path`, part by part from "/"
// or the working folder, each part opened without following a link; a link
// met on the way, the last part included, is followed by its text under
// MayFollowLink, so no link is ever resolved by the kernel. Returns the
// folder's descriptor (read-only where the folder may be read, else a path
// descriptor) and sets `name` to the last part, which may not exist yet; -1 on
// a link that may not be followed, a missing or unreachable folder, or a last
// part that names a folder.
int OpenFolderOf(const QByteArray &path, QByteArray *name);

// The entries of the folder open at `folder`, listed through a descriptor of
// their own (closedir() it); null where the folder may not be read.
DIR *ListFolder(int folder);

}  // namespace orvalis
