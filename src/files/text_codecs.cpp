#include "files/text_codecs.h"

#include "table/cp1252.h"

#include <cstdint>
#include <cstring>

namespace orvalis {

namespace {

int EncodeChar(char16_t u)
{
    return cp1252::Encode(u);
}

}  // namespace

QString DecodeWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        d[i] = QChar(cp1252::Decode(static_cast<unsigned char>(bytes[i])));
    }
    return out;
}

bool FitsWindows1252(QChar c)
{
    return EncodeChar(c.unicode()) >= 0;
}

bool FitsWindows1252(const QString &text)
{
    for (QChar c : text)
        if (!FitsWindows1252(c))
            return false;
    return true;
}

QByteArray EncodeWindows1252(const QString &text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char *d = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = EncodeChar(text[i].unicode());
        d[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

// True when the bytes are strict UTF-8: sequences of one to four bytes, no
// overlong forms, no surrogates, nothing above U+10FFFF.
bool IsStrictUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Runs of ASCII eight bytes at a time: most of a POI file is.
        while (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int len;
        char32_t cp;
        char32_t min;
        if ((b & 0xE0) == 0xC0) {
            len = 2; cp = b & 0x1F; min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3; cp = b & 0x0F; min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4; cp = b & 0x07; min = 0x10000;
        } else {
            return false;  // stray continuation byte or invalid lead
        }
        if (i + len > n)
            return false;
        for (int k = 1; k < len; ++k) {
            const unsigned char c = p[i + k];
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

namespace {

bool IsAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Windows-1252 text reads as valid UTF-8 mostly where an accented capital is
// followed by punctuation or a symbol ("É–" is C9 96, "ɖ"): two-byte sequences.
// Three- and four-byte sequences, or two letters in a row that Windows-1252
// cannot hold (a Cyrillic or Greek word), do not arise that way.
bool EvidentlyUtf8(QByteArrayView bytes, const QString &text)
{
    for (char b : bytes)
        if (static_cast<unsigned char>(b) >= 0xE0)
            return true;  // the bytes are valid UTF-8: a lead of a longer sequence
    bool previous = false;
    for (const QChar c : text) {
        const bool foreign = c.isLetter() && !FitsWindows1252(c);
        if (foreign && previous)
            return true;
        previous = foreign;
    }
    return false;
}

}  // namespace

bool DecodeUtf8Strict(QByteArrayView bytes, QString *out)
{
    if (!IsStrictUtf8(bytes))
        return false;
    if (out)
        *out = QString::fromUtf8(bytes);
    return true;
}

QString DecodeFileText(QByteArrayView bytes, bool mixedFile)
{
    // Plain ASCII is by far the most common case.
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes.data(), bytes.size());
    if (!IsStrictUtf8(bytes))
        return DecodeWindows1252(bytes);
    QString text = QString::fromUtf8(bytes);
    if (!mixedFile || EvidentlyUtf8(bytes, text))
        return text;
    // Text that fits Windows-1252 is written as UTF-8 by this program only when
    // its Windows-1252 bytes would be valid UTF-8: such a file reads back as it was.
    if (FitsWindows1252(text) && IsStrictUtf8(EncodeWindows1252(text)))
        return text;
    return DecodeWindows1252(bytes);
}

bool NeedsWindows1252(const QString &text)
{
    if (!FitsWindows1252(text))
        return false;
    const QByteArray bytes = EncodeWindows1252(text);
    return !IsAscii(bytes) && !IsStrictUtf8(bytes);
}

bool ReadsBackInMixedFile(const QString &text)
{
    return FitsWindows1252(text) || EvidentlyUtf8(text.toUtf8(), text);
}

QByteArray MixedFileBytes(const QString &text)
{
    if (!FitsWindows1252(text))
        return text.toUtf8();
    QByteArray bytes = EncodeWindows1252(text);
    if (!IsAscii(bytes) && IsStrictUtf8(bytes))
        return text.toUtf8();
    return bytes;
}

}  // namespace orvalis
