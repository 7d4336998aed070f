#pragma once

#include "table/cp1252.h"

#include <QString>
#include <QStringView>
#include <QVarLengthArray>
#include <cstdint>
#include <cstdlib>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace orvalis {

// Room for the long texts a file read puts into a table, in big blocks: a
// million descriptions then cost no allocation each (and its bookkeeping),
// and go at once. Readers on several threads each take from a block of
// their own. A copy of an arena is a new empty one.
class TextArena {
public:
    TextArena() = default;
    TextArena(const TextArena &) {}
    TextArena &operator=(const TextArena &other)
    {
        if (this != &other)
            clear();
        return *this;
    }
    TextArena(TextArena &&other) noexcept : blocks_(std::move(other.blocks_)), id_(other.id_) { other.renew(); }
    TextArena &operator=(TextArena &&other) noexcept
    {
        if (this != &other) {
            blocks_ = std::move(other.blocks_);
            id_ = other.id_;
            other.renew();
        }
        return *this;
    }

    char *allocate(size_t n)
    {
        // The block this thread last took from, if it is one of this arena's.
        thread_local struct {
            uint64_t id = 0;
            char *at = nullptr;
            size_t left = 0;
        } mine;
        if (n > kBlock / 16)
            return newBlock(n);  // a long text: a block of its own
        if (mine.id != id_ || mine.left < n) {
            mine.at = newBlock(kBlock);
            mine.left = kBlock;
            mine.id = id_;
        }
        char *p = mine.at;
        mine.at += n;
        mine.left -= n;
        return p;
    }
    // The texts of this arena gone: a new arena, no thread takes from the old blocks.
    void clear()
    {
        const std::lock_guard<std::mutex> lock(taking_);
        blocks_.clear();
        renew();
    }
    // Takes the blocks of another arena: its texts are this one's now.
    void adopt(TextArena &&other)
    {
        const std::lock_guard<std::mutex> lock(taking_);
        for (auto &b : other.blocks_)
            blocks_.push_back(std::move(b));
        other.blocks_.clear();
        other.renew();
    }

private:
    static constexpr size_t kBlock = size_t{1} << 20;
    static uint64_t NextId()
    {
        static std::atomic<uint64_t> next{1};
        return next++;
    }
    void renew() { id_ = NextId(); }
    char *newBlock(size_t n)
    {
        std::unique_ptr<char[]> block(new char[n]);
        char *p = block.get();
        const std::lock_guard<std::mutex> lock(taking_);
        blocks_.push_back(std::move(block));
        return p;
    }

    std::vector<std::unique_ptr<char[]>> blocks_;
    uint64_t id_ = NextId();
    std::mutex taking_;
};

// A table field in 16 bytes. Text that Windows-1252 can hold (French,
// German, Spanish… with œ, €, ’ and –) is kept one byte a character: up to
// 15 characters inline (every coordinate, distance, key and compass text),
// longer in a block of its own. Anything else is a heap QString. A million
// rows then cost no allocation per short field and half the memory for
// descriptions.
class CompactText {
public:
    CompactText() { clearInline(); }
    CompactText(const CompactText &other) { copyFrom(other); }
    CompactText(CompactText &&other) noexcept
    {
        std::memcpy(raw_, other.raw_, sizeof raw_);
        other.clearInline();
    }
    CompactText &operator=(const CompactText &other)
    {
        if (this != &other) {
            release();
            copyFrom(other);
        }
        return *this;
    }
    CompactText &operator=(CompactText &&other) noexcept
    {
        if (this != &other) {
            release();
            std::memcpy(raw_, other.raw_, sizeof raw_);
            other.clearInline();
        }
        return *this;
    }
    ~CompactText() { release(); }

    void set(QStringView text)
    {
        release();
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i)
            if (cp1252::Encode(text[i].unicode()) < 0) {
                setHeap(new QString(text.toString()));
                return;
            }
        char *out = allocateNarrow(n);
        for (qsizetype i = 0; i < n; ++i)
            out[i] = static_cast<char>(cp1252::Encode(text[i].unicode()));
    }
    // Latin-1 characters (coordinate texts).
    void setLatin1(const char *chars, int length)
    {
        release();
        for (int i = 0; i < length; ++i) {
            const auto b = static_cast<unsigned char>(chars[i]);
            if (b >= 0x80 && b < 0xA0 && cp1252::kHigh[b - 0x80] != 0) {  // a C1 control the code page lacks
                setHeap(new QString(QString::fromLatin1(chars, length)));
                return;
            }
        }
        std::memcpy(allocateNarrow(length), chars, static_cast<size_t>(length));
    }

    // Windows-1252 bytes, stored as they are.
    void setWindows1252(const char *bytes, qsizetype length)
    {
        release();
        std::memcpy(allocateNarrow(length), bytes, static_cast<size_t>(length));
    }
    // The same, a long text in the arena (which must outlive this text, or
    // see it made its own first).
    void setWindows1252(const char *bytes, qsizetype length, TextArena &arena)
    {
        release();
        if (length <= kInline) {
            std::memcpy(allocateNarrow(length), bytes, static_cast<size_t>(length));
            return;
        }
        char *block = arena.allocate(static_cast<size_t>(length));
        std::memcpy(block, bytes, static_cast<size_t>(length));
        const auto size = static_cast<uint32_t>(length);
        std::memcpy(raw_ + 4, &size, sizeof size);
        setPointer(kArenaTag, block);
    }
    // A text in an arena copied into a block of its own.
    void makeOwn()
    {
        if (raw_[0] == kArenaTag) {
            const CompactText own(*this);
            *this = own;
        }
    }

    bool isEmpty() const { return isWide() ? wide()->isEmpty() : raw_[0] == 0; }
    QString toString() const
    {
        if (isWide())
            return *wide();
        const char *bytes = narrowBytes();
        const qsizetype n = narrowSize();
        QString out(n, Qt::Uninitialized);
        char16_t *d = reinterpret_cast<char16_t *>(out.data());
        for (qsizetype i = 0; i < n; ++i)
            d[i] = cp1252::Decode(static_cast<unsigned char>(bytes[i]));
        return out;
    }
    // Calls fn with a view of the text; allocates only for long 8-bit texts.
    template <typename Fn>
    decltype(auto) visit(Fn &&fn) const
    {
        if (isWide())
            return fn(QStringView(*wide()));
        const char *bytes = narrowBytes();
        const qsizetype n = narrowSize();
        QVarLengthArray<char16_t, 512> buf(n);
        for (qsizetype i = 0; i < n; ++i)
            buf[i] = cp1252::Decode(static_cast<unsigned char>(bytes[i]));
        return fn(QStringView(buf.data(), n));
    }

    // Calls narrow(const char *, qsizetype) with the Windows-1252 bytes of an
    // 8-bit text, wide(QStringView) otherwise; no copy either way.
    template <typename Narrow, typename Wide>
    void visitRaw(Narrow &&narrow, Wide &&wide) const
    {
        if (isWide())
            wide(QStringView(*this->wide()));
        else
            narrow(narrowBytes(), narrowSize());
    }

private:
    static constexpr int kInline = 15;
    static constexpr unsigned char kWideTag = 0xFF;    // a heap QString
    static constexpr unsigned char kNarrowTag = 0xFE;  // a heap block of 8-bit text, its size at raw_[4]
    static constexpr unsigned char kArenaTag = 0xFD;   // the same in an arena, not this text's to free

    bool isWide() const { return raw_[0] == kWideTag; }
    bool isNarrowHeap() const { return raw_[0] == kNarrowTag || raw_[0] == kArenaTag; }
    template <typename T>
    T *pointer() const
    {
        T *p;
        std::memcpy(&p, raw_ + 8, sizeof p);
        return p;
    }
    void setPointer(unsigned char tag, void *p)
    {
        raw_[0] = tag;
        std::memcpy(raw_ + 8, &p, sizeof p);
    }
    QString *wide() const { return pointer<QString>(); }
    void setHeap(QString *p) { setPointer(kWideTag, p); }
    qsizetype narrowSize() const
    {
        if (!isNarrowHeap())
            return raw_[0];
        uint32_t n;
        std::memcpy(&n, raw_ + 4, sizeof n);
        return n;
    }
    const char *narrowBytes() const
    {
        return isNarrowHeap() ? pointer<const char>() : reinterpret_cast<const char *>(raw_ + 1);
    }
    char *allocateNarrow(qsizetype n)
    {
        if (n <= kInline) {
            raw_[0] = static_cast<unsigned char>(n);
            return reinterpret_cast<char *>(raw_ + 1);
        }
        auto *block = static_cast<char *>(std::malloc(static_cast<size_t>(n)));
        if (!block)
            throw std::bad_alloc();
        const auto size = static_cast<uint32_t>(n);
        std::memcpy(raw_ + 4, &size, sizeof size);
        setPointer(kNarrowTag, block);
        return block;
    }
    void clearInline() { raw_[0] = 0; }
    void release()
    {
        if (isWide())
            delete wide();
        else if (raw_[0] == kNarrowTag)
            std::free(pointer<char>());
        clearInline();
    }
    void copyFrom(const CompactText &other)
    {
        if (other.isWide()) {
            setHeap(new QString(*other.wide()));
        } else if (other.isNarrowHeap()) {
            const qsizetype n = other.narrowSize();
            std::memcpy(allocateNarrow(n), other.narrowBytes(), static_cast<size_t>(n));
        } else {
            std::memcpy(raw_, other.raw_, sizeof raw_);
        }
    }

    alignas(8) unsigned char raw_[16];
};

}  // namespace orvalis
