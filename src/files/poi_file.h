#pragma once

#include "files/poi_codec.h"

#include <QByteArray>
#include <QFile>
#include <utility>
#include <QString>

namespace orvalis {

// The folder of a file, with its trailing separator.
QString FolderOf(const QString &path);

// The bytes that name the file on disk. A name that is not valid in the
// locale's encoding (Latin-1 names from old media) reaches us with U+FFFD in
// place of its odd bytes; the folder is searched for the one name it stands for.
QByteArray NativeFileName(const QString &path);

// A regular file's bytes, read into memory the program owns: a mapped file
// that shrinks while it is read would kill the process. FIFOs, devices and
// folders are refused (one would block, another never end).
class FileBytes {
public:
    FileBytes() = default;
    FileBytes(const FileBytes &) = delete;
    FileBytes &operator=(const FileBytes &) = delete;
    ~FileBytes();

    bool open(const QString &path) { return start(path) && readAll(); }
    // The path's bytes as given, for names that are not valid in the locale's encoding.
    bool openNative(const QByteArray &path) { return startNative(path) && readAll(); }

    // The two steps of open(), apart so that a test can change the file between them.
    bool start(const QString &path) { return startNative(NativeFileName(path)); }
    bool startNative(const QByteArray &path);
    // Reads to the end of the file, whatever size it showed when opened; a file
    // cut meanwhile gives what was there. False on a read error.
    // With `keepOpen` the file stays open for readAgain().
    bool readAll(bool keepOpen = false);
    // Reads the file again from its start, into fresh memory (and closes it).
    bool readAgain();

    QByteArrayView data() const { return QByteArrayView(bytes_); }
    // The size the file showed when it was opened.
    qint64 size() const { return size_; }
    // The open file, for reading it in blocks after startNative (-1 when none).
    int descriptor() const { return fd_; }
    // The bytes themselves, for a caller that keeps them (no copy).
    QByteArray take() { return std::move(bytes_); }
    // Gives the memory back once the bytes have been read.
    void release() { bytes_ = QByteArray(); }

private:
    int fd_ = -1;
    qint64 size_ = 0;
    QByteArray bytes_;
};


}  // namespace orvalis
