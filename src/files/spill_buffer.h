#pragma once

#include "files/block_reader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <cstdio>
#include <memory>

namespace orvalis {

// Bytes put aside to be read back: held in memory while they are few, in an
// unnamed temporary file once they pass a megabyte, so that a small job
// makes no file and a large one does not take the memory.
class SpillBuffer {
public:
    static constexpr qsizetype kHeld = qsizetype(1) << 20;

    SpillBuffer() = default;
    ~SpillBuffer();
    SpillBuffer(const SpillBuffer &) = delete;
    SpillBuffer &operator=(const SpillBuffer &) = delete;

    // False once the temporary file could not be made or written.
    bool ok() const { return !failed_; }
    qint64 size() const { return written_ + held_.size(); }
    // Nothing went to a file yet.
    bool inMemory() const { return file_ == nullptr; }
    // Bytes are appended to held() by the caller, then settled here.
    QByteArray &held() { return held_; }
    void settle();
    // Everything put aside, from its start; null on a failure.
    std::unique_ptr<BlockReader> reader();
    // `n` bytes from `at`; false on a failure or past the end.
    bool readAt(qint64 at, char *into, qint64 n);

private:
    bool spill();
    std::FILE *file_ = nullptr;
    QByteArray held_;
    qint64 written_ = 0;
    bool failed_ = false;
};

}  // namespace orvalis
