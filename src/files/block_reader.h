#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <optional>

namespace orvalis {

// Input read a block at a time (a file, standard input, a pipe), or bytes
// already in memory; the readers of every format walk it the same way, so a
// file of any length costs the longest record, not the file.
class BlockReader {
public:
    static constexpr qsizetype kBlock = qsizetype(1) << 20;
    // A record (or a comment, a header) longer than this is refused rather
    // than held: endless input without a record end must not take the memory.
    static constexpr qsizetype kLongestRecord = qsizetype(256) << 20;

    // Reads `fd` (not closed here) from where it stands, `block` bytes at a time
    // (tests take tiny blocks to cut records everywhere).
    explicit BlockReader(int fd, qsizetype block = kBlock) : fd_(fd), block_(block) {}
    // Bytes already there: no copy unless they are transcoded.
    explicit BlockReader(QByteArrayView bytes) : memory_(bytes), eof_(true), bytesRead_(bytes.size()) {}

    // The bytes read and not yet consumed.
    QByteArrayView view() const
    {
        if (inMemory() && !decode_)
            return memory_.sliced(start_);
        return QByteArrayView(buffer_.constData() + start_, buffer_.size() - start_);
    }
    qsizetype held() const { return view().size(); }
    // Drops the first `n` bytes of the view.
    void consume(qsizetype n);
    // Reads a block more (as much again as is held when a record spans many
    // blocks, so that its scans stay linear); false once nothing
    // more comes: at the end, on a read error, or past the longest record.
    bool more();
    // Reads until at least `n` bytes are held or nothing more comes.
    bool fill(qsizetype n);
    // Nothing more to read: the view is all that is left.
    bool atEnd() const { return eof_; }
    bool failed() const { return failed_; }
    bool tooLong() const { return tooLong_; }
    // A smaller limit than kLongestRecord, for tests.
    void setLongestRecord(qsizetype n) { longest_ = n; }
    // Every byte that came in, before any transcoding.
    qint64 bytesRead() const { return bytesRead_; }
    // The descriptor read, for a format that seeks in a file (-1 for bytes in memory).
    int descriptor() const { return fd_; }
    // From now on, bytes (those held, then each block) pass through `decode`
    // first; it keeps its own state across blocks (a character cut in two).
    void transcode(std::function<QByteArray(QByteArrayView)> decode);
    // What the XML reader decided of the file's texts (exact when transcoded),
    // so that a second look at the same input decides nothing again.
    std::optional<bool> xmlTextsExact;

private:
    int fd_ = -1;
    qsizetype block_ = kBlock;
    QByteArrayView memory_;
    bool inMemory() const { return fd_ < 0; }
    QByteArray buffer_;
    qsizetype start_ = 0;
    bool eof_ = false;
    bool failed_ = false;
    bool tooLong_ = false;
    qsizetype longest_ = kLongestRecord;
    qint64 bytesRead_ = 0;
    std::function<QByteArray(QByteArrayView)> decode_;
};

// A file read a block at a time with pread, so that its offset stays where
// it is: for counting what a file holds before reading it.
class PreadWalk {
public:
    explicit PreadWalk(int fd) : fd_(fd), block_(kBlockBytes, '\0') {}
    static constexpr qsizetype kBlockBytes = 1 << 20;
    // The bytes from `offset` on, at least `n` of them (n <= kBlockBytes)
    // unless the file ends first; false on a read error.
    bool at(qint64 offset, qsizetype n, QByteArrayView *out);

private:
    int fd_;
    QByteArray block_;
    qint64 start_ = 0;
    qsizetype held_ = 0;
};

// The bytes of `fd` from where it stands copied to an unnamed temporary file,
// rewound: for a format that must seek in input that cannot (a pipe). -1 when
// the copy fails (errno says why); the caller closes the copy.
int SeekableCopy(int fd);

}  // namespace orvalis
