#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <cstring>

namespace orvalis {

// A table field in 16 bytes: texts of up to 15 Latin-1 characters (every
// coordinate, distance, key and compass text) are kept inline, anything
// else in a heap QString. A million rows then cost no allocation per field.
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
        if (text.size() <= kInline) {
            bool latin1 = true;
            for (QChar c : text)
                latin1 = latin1 && c.unicode() < 256;
            if (latin1) {
                raw_[0] = static_cast<unsigned char>(text.size());
                for (qsizetype i = 0; i < text.size(); ++i)
                    raw_[1 + i] = static_cast<unsigned char>(text[i].unicode());
                return;
            }
        }
        setHeap(new QString(text.toString()));
    }
    void setLatin1(const char *chars, int length)
    {
        release();
        if (length <= kInline) {
            raw_[0] = static_cast<unsigned char>(length);
            std::memcpy(raw_ + 1, chars, static_cast<size_t>(length));
            return;
        }
        setHeap(new QString(QString::fromLatin1(chars, length)));
    }

    bool isEmpty() const { return isHeap() ? heap()->isEmpty() : raw_[0] == 0; }
    QString toString() const
    {
        if (isHeap())
            return *heap();
        return QString::fromLatin1(reinterpret_cast<const char *>(raw_ + 1), raw_[0]);
    }
    // Calls fn with a view of the text, without allocating.
    template <typename Fn>
    decltype(auto) visit(Fn &&fn) const
    {
        if (isHeap())
            return fn(QStringView(*heap()));
        char16_t buf[kInline];
        for (int i = 0; i < raw_[0]; ++i)
            buf[i] = raw_[1 + i];
        return fn(QStringView(buf, raw_[0]));
    }

private:
    static constexpr int kInline = 15;
    static constexpr unsigned char kHeapTag = 0xFF;

    bool isHeap() const { return raw_[0] == kHeapTag; }
    QString *heap() const
    {
        QString *p;
        std::memcpy(&p, raw_ + 8, sizeof p);
        return p;
    }
    void setHeap(QString *p)
    {
        raw_[0] = kHeapTag;
        std::memcpy(raw_ + 8, &p, sizeof p);
    }
    void clearInline() { raw_[0] = 0; }
    void release()
    {
        if (isHeap())
            delete heap();
        clearInline();
    }
    void copyFrom(const CompactText &other)
    {
        if (other.isHeap())
            setHeap(new QString(*other.heap()));
        else
            std::memcpy(raw_, other.raw_, sizeof raw_);
    }

    alignas(8) unsigned char raw_[16];
};

}  // namespace orvalis
