#pragma once
// Bytes that end where a page nobody may read begins: a reader that reads one
// byte past them stops the test with a fault, with or without a sanitizer.

#include <QByteArrayView>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace orvalis::testing {

class GuardedBytes {
public:
    explicit GuardedBytes(QByteArrayView bytes)
    {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t n = size_t(bytes.size());
        length_ = (n + page - 1) / page * page + page;
        base_ = static_cast<char *>(mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_ + length_ - page, page, PROT_NONE);
        data_ = base_ + length_ - page - n;
        if (n > 0)
            std::memcpy(data_, bytes.data(), n);
        view_ = QByteArrayView(data_, qsizetype(n));
    }
    ~GuardedBytes() { munmap(base_, length_); }
    GuardedBytes(const GuardedBytes &) = delete;
    GuardedBytes &operator=(const GuardedBytes &) = delete;
    QByteArrayView view() const { return view_; }

private:
    char *base_ = nullptr;
    char *data_ = nullptr;
    size_t length_ = 0;
    QByteArrayView view_;
};

}  // namespace orvalis::testing
