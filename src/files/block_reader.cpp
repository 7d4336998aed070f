#include "files/block_reader.h"

#include "files/save_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {

namespace {

// read(2) going on after an interruption, and waiting for the writer of a
// FIFO opened without blocking.
ssize_t ReadWaiting(int fd, char *into, size_t size)
{
    for (;;) {
        const ssize_t n = ::read(fd, into, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, -1);
            continue;
        }
        return n;
    }
}

constexpr qsizetype kSmallBlock = 64 << 10;

// The bytes of a regular file past its offset; -1 for anything else (a pipe
// or a terminal, whose length is unknown).
qint64 LeftInFile(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    return at < 0 ? -1 : std::max<qint64>(0, qint64(st.st_size) - at);
}

}  // namespace

void BlockReader::consume(qsizetype n)
{
    start_ += std::clamp<qsizetype>(n, 0, held());
}

bool BlockReader::more()
{
    if (eof_)
        return false;
    const qsizetype kept = held();
    if (kept >= longest_) {
        tooLong_ = eof_ = true;
        return false;
    }
    // What is held moves to the front; a block or as much again is read behind it.
    if (start_ > 0) {
        std::memmove(buffer_.data(), buffer_.constData() + start_, static_cast<size_t>(kept));
        buffer_.truncate(kept);
        start_ = 0;
    }
    // A long record is scanned again at each read: past 16 blocks the reads
    // grow with it, so that its scans stay linear.
    qsizetype want = kept >= 16 * block_ ? kept : block_;
    // A small file takes a buffer its size, not a whole block: one byte more
    // than what is left sees the end without another read. (Small blocks,
    // which only tests take, are not worth the look.)
    if (const qint64 left = want >= kSmallBlock ? LeftInFile(fd_) : -1; left >= 0 && left < want)
        want = qsizetype(left) + 1;
    // Read behind what is held, into the buffer itself unless the bytes are
    // transcoded: no block-sized copy (nor allocation, once it has grown) a read.
    QByteArray raw;
    QByteArray &into = decode_ ? raw : buffer_;
    const qsizetype at = into.size();
    if (into.capacity() < at + want)
        into.reserve(at + want);  // exactly: a small file's buffer stays its size
    into.resize(at + want);
    qsizetype got = 0;
    while (got < want) {
        const ssize_t n = ReadWaiting(fd_, into.data() + at + got, static_cast<size_t>(want - got));
        if (n <= 0) {
            failed_ = n < 0;
            eof_ = true;
            break;
        }
        // A pipe gives 64 KiB at a time: reading on until the block is full keeps
        // a record that spans many blocks from being scanned once per 64 KiB.
        got += n;
    }
    bytesRead_ += got;
    into.truncate(at + got);
    if (decode_)
        buffer_ += decode_(raw);
    return got > 0;
}

bool BlockReader::fill(qsizetype n)
{
    while (held() < n)
        if (!more())
            return held() >= n;
    return true;
}

void BlockReader::transcode(std::function<QByteArray(QByteArrayView)> decode)
{
    const QByteArray rest = decode(view());
    buffer_ = rest;
    start_ = 0;
    decode_ = std::move(decode);
    if (inMemory())
        memory_ = QByteArrayView();
}

int SeekableCopy(int fd)
{
    std::FILE *temporary = std::tmpfile();
    const int copy = temporary ? ::dup(fileno(temporary)) : -1;
    if (temporary)
        std::fclose(temporary);
    if (copy < 0)
        return -1;
    QByteArray block(BlockReader::kBlock, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ReadWaiting(fd, block.data(), size_t(block.size()));
        if (n == 0 && ::lseek(copy, 0, SEEK_SET) == 0)
            return copy;
        if (n <= 0 || !WriteAllToFd(copy, block.constData(), n)) {
            const int error = errno;
            ::close(copy);
            errno = error;
            return -1;
        }
    }
}

bool PreadWalk::at(qint64 offset, qsizetype n, QByteArrayView *out)
{
    if (offset < start_ || offset + n > start_ + held_) {
        start_ = offset;
        held_ = 0;
        while (held_ < block_.size()) {
            const ssize_t got = ::pread(fd_, block_.data() + held_, static_cast<size_t>(block_.size() - held_), start_ + held_);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0)
                break;
            held_ += got;
        }
    }
    *out = QByteArrayView(block_.constData() + (offset - start_), held_ - (offset - start_));
    return true;
}

}  // namespace orvalis
