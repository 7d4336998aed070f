#pragma once

#include <QByteArray>
#include <QString>
#include <sys/stat.h>

namespace orvalis {

// True when a link at `path` may be followed: anything but a link placed by
// someone else in a sticky folder that everyone may write (like /tmp), where
// another user could point it at a file of ours. The kernel's own protection
// does not apply because the save resolves the link itself.
bool MayFollowLinkAt(const QString &path);
bool MayFollowLinkAtNative(const QByteArray &path);

// Writes every byte to the descriptor, going on after short writes and
// interruptions; false on an error (a full disk, a closed pipe).
bool WriteAllToFd(int fd, const char *data, qsizetype size);


enum class SaveFailure {
    None,
    Refused,            // a link we may not follow, or not a regular file (a device, a folder)
    FolderNotWritable,  // no temporary file can be made beside it: the old file is left as it was
    WriteFailed,        // a full disk, an I/O error: the old file is left as it was
};

// A file written in pieces and put in place whole or not at all: a temporary
// file made in the target's folder (opened once, links resolved once), written,
// synced, then renamed over the target, which never follows a link again. The
// old file is never truncated first; it keeps its owner, group and mode.
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

private:
    bool fail(SaveFailure what);
    void abandon();

    int folder_ = -1, fd_ = -1;
    QByteArray name_, temporary_;
    bool existed_ = false;
    struct stat before_ {};
    SaveFailure failure_ = SaveFailure::None;
};

// Replaces the file with `bytes`, whole or not at all: a temporary file made
// in the target's folder (opened once, links resolved once), written and
// synced, then renamed over the target, which never follows a link again. The
// old file is never truncated first. A replaced file keeps its owner, group
// and mode where the process may give them. False on any failure, and `why`
// says which.
bool SaveFileBytesNative(const QByteArray &path, const QByteArray &bytes, SaveFailure *why = nullptr);
bool SaveFileBytes(const QString &path, const QByteArray &bytes, SaveFailure *why = nullptr);

}  // namespace orvalis
