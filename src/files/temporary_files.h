#pragma once

#include <QByteArray>

#include <initializer_list>

namespace orvalis {

// The temporary files of the saves under way, so that a signal that ends the
// process does not leave them, and leftovers of runs killed outright.

// Creates, in the folder open at `folder`, the temporary file that will become
// `name`: 0600, a fresh name that no link can stand for, saying whose and which
// run it is (".<name>.orvalis-<uid>-<pid>-<random>.tmp"). It is in the table
// the signal handler empties from the moment it exists. Returns its descriptor
// and sets `temporary` and `slot`, or -1 with errno set.
int CreateTemporaryFile(int folder, const QByteArray &name, QByteArray *temporary, int *slot);
// Takes a temporary file out of the table (before its folder is closed).
void ForgetTemporaryFile(int slot);

// From now on these signals (those not ignored) remove the temporary files of
// the table, then end the process as the signal would have.
void RemoveTemporaryFilesOn(std::initializer_list<int> which);

// Removes from the folder open at `folder` the temporary files of this user
// whose run is gone (killed before it could remove them): only regular files
// of ours named as CreateTemporaryFile names them, never a link. Returns how
// many were removed.
int RemoveLeftoverTemporaryFiles(int folder);

}  // namespace orvalis
