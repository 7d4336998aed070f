#include "files/spill_buffer.h"

#include <cstring>
#include <unistd.h>

namespace orvalis {

SpillBuffer::~SpillBuffer()
{
    if (file_)
        std::fclose(file_);
}

void SpillBuffer::settle()
{
    if (held_.size() >= kHeld)
        spill();
}

bool SpillBuffer::spill()
{
    if (failed_ || held_.isEmpty())
        return ok();
    if (!file_ && !(file_ = std::tmpfile()))
        return !(failed_ = true);
    if (std::fseek(file_, 0, SEEK_END) != 0 ||
        std::fwrite(held_.constData(), 1, size_t(held_.size()), file_) != size_t(held_.size()) || std::fflush(file_) != 0)
        failed_ = true;
    written_ += held_.size();
    held_.clear();
    return ok();
}

std::unique_ptr<BlockReader> SpillBuffer::reader()
{
    if (failed_)
        return nullptr;
    if (!file_)
        return std::make_unique<BlockReader>(QByteArrayView(held_));
    if (!spill() || std::fseek(file_, 0, SEEK_SET) != 0 || ::lseek(fileno(file_), 0, SEEK_SET) != 0)
        return nullptr;
    return std::make_unique<BlockReader>(fileno(file_));
}

bool SpillBuffer::readAt(qint64 at, char *into, qint64 n)
{
    if (failed_ || at < 0 || n < 0 || at + n > size())
        return false;
    if (!file_) {
        std::memcpy(into, held_.constData() + at, size_t(n));
        return true;
    }
    return spill() && ::pread(fileno(file_), into, size_t(n), at) == ssize_t(n);
}

}  // namespace orvalis
