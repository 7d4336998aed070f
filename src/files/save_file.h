#pragma once

#include <QByteArray>
#include <QString>
#include <cerrno>
#include <sys/stat.h>

namespace orvalis {

// Writes every byte to the descriptor, going on after short writes and
// interruptions; false on an error (a full disk, a closed pipe).
bool WriteAllToFd(int fd, const char *data, qsizetype size);

enum class SaveFailure {
    None,
    Refused,            // a link we may not follow, or not a regular file (a device, a folder)
    FolderNotWritable,  // no temporary file can be made beside it: the old file is left as it was
    WriteFailed,        // a full disk, an I/O error: the old file is left as it was
};

// A file written in pieces and put in place whole or not at all. open() walks
// the path part by part, following a link only where MayFollowLink allows (the
// folders' links as the last part's), holds the last folder open and makes a
// temporary file in it (0600, removed if a signal ends the process, see
// temporary_files.h); commit() syncs it, gives it the old file's owner, group
// and mode (a new file: 0666 less the umask), and renames it over the target
// by name in the held folder, which never follows a link. The old file is
// never truncated first.
class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;
    ~AtomicFile();  // without commit() the temporary file goes

    bool open(const QByteArray &path);
    bool write(QByteArrayView bytes);
    // Bytes written again at a place already written (a header known at the end).
    bool writeAt(qint64 offset, QByteArrayView bytes);
    bool commit();
    SaveFailure failure() const { return failure_; }
    // The system's reason for the failure (errno), 0 where the file was refused by rule.
    int error() const { return error_; }
    // False after a commit that could not give the old file's group (a user's
    // own file of a group the user is not in): the file has the user's group.
    bool groupKept() const { return groupKept_; }

private:
    bool fail(SaveFailure what, int error = errno);
    void abandon();
    mode_t takeOldOwner();

    int folder_ = -1, fd_ = -1, slot_ = -1;
    QByteArray name_, temporary_;
    bool existed_ = false, groupKept_ = true;
    struct stat before_ {};
    SaveFailure failure_ = SaveFailure::None;
    int error_ = 0;
};

struct SaveReport {
    SaveFailure failure = SaveFailure::None;
    bool groupKept = true;
};

// Replaces the file with `bytes`, whole or not at all, as AtomicFile does.
// False on any failure, and `why` or `report` says which.
bool SaveFileBytesNative(const QByteArray &path, const QByteArray &bytes, SaveFailure *why = nullptr);
bool SaveFileBytes(const QString &path, const QByteArray &bytes, SaveFailure *why = nullptr);
bool SaveFileBytesNative(const QByteArray &path, const QByteArray &bytes, SaveReport *report);
bool SaveFileBytes(const QString &path, const QByteArray &bytes, SaveReport *report);

}  // namespace orvalis
