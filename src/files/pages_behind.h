#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace orvalis {

// Whether a reading may give back the bytes it has read (see PagesBehind).
enum class ReadPages { Kept, GivenBack };

// Bytes a reader walks once, front to back, in memory its caller owns and
// will not read again (a file's copy, thrown away after the load): the whole
// pages it has left behind go back to the system as it goes, so that a big
// file never lies whole in memory beside the rows made of it. A page given
// back reads as zeros. Two readers of one buffer each give back only the
// pages wholly inside their own part.
class PagesBehind {
public:
    PagesBehind() = default;
    // From `start` (the first byte of the reader's part); `enabled` when the
    // pages may go at all.
    PagesBehind(const char *start, bool enabled) : done_(start), enabled_(enabled) {}
    // Every byte before `at` has been read for the last time.
    void passed(const char *at)
    {
        if (!enabled_ || at - done_ < kStep)
            return;
        const uintptr_t page = PageBytes();
        const uintptr_t first = (reinterpret_cast<uintptr_t>(done_) + page - 1) & ~(page - 1);
        const uintptr_t end = reinterpret_cast<uintptr_t>(at) & ~(page - 1);
        if (end <= first)
            return;
        madvise(reinterpret_cast<void *>(first), end - first, MADV_DONTNEED);  // a failure only keeps them
        done_ = reinterpret_cast<const char *>(end);  // a page of its own from here on
    }

private:
    static constexpr std::ptrdiff_t kStep = std::ptrdiff_t{1} << 20;
    static uintptr_t PageBytes()
    {
        static const uintptr_t bytes = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        return bytes;
    }

    const char *done_ = nullptr;
    bool enabled_ = false;
};

}  // namespace orvalis
