#include "files/text_codecs.h"

#include "table/cp1252.h"

#include <QList>

#include <cstdint>
#include <cstring>

namespace orvalis {

namespace {

int EncodeChar(char16_t u)
{
    return cp1252::Encode(u);
}

// The length of the ASCII run p starts with, counted eight bytes at a time
// (most of a POI file is ASCII); a last partial word is left to the caller.
// Bytes or UTF-16 units.
template <typename Unit>
qsizetype AsciiRun(const Unit *p, qsizetype n)
{
    constexpr qsizetype kPerWord = 8 / sizeof(Unit);
    constexpr uint64_t kHigh = sizeof(Unit) == 1 ? 0x8080808080808080ULL : 0xFF80FF80FF80FF80ULL;
    qsizetype i = 0;
    for (uint64_t word; i + kPerWord <= n; i += kPerWord) {
        std::memcpy(&word, p + i, 8);
        if (word & kHigh)
            break;
    }
    return i;
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

void AppendWindows1252AsUtf8(QByteArray &out, QByteArrayView bytes, char from, char to)
{
    const qsizetype start = out.size();
    out.resize(start + 3 * bytes.size());
    char *d = out.data() + start;
    const char *p = bytes.data();
    const char *end = p + bytes.size();
    while (p < end) {
        // Runs of ASCII without a byte to replace go eight at a time.
        if (from == 0) {
            const qsizetype run = AsciiRun(p, end - p);
            std::memcpy(d, p, static_cast<size_t>(run));
            p += run;
            d += run;
            if (p == end)
                break;
        }
        const char b = *p == from && from != 0 ? to : *p;
        d = PutUtf8(d, cp1252::Decode(static_cast<unsigned char>(b)));
        ++p;
    }
    out.resize(d - out.data());
}

void AppendUtf8(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + 3 * text.size());
    char *d = out.data() + start;
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype run = AsciiRun(p + i, n - i);
        for (qsizetype k = 0; k < run; ++k)
            d[k] = static_cast<char>(p[i + k]);
        d += run;
        i += run;
        if (i >= n)
            break;
        d = PutUtf8At(d, p, &i, n);
    }
    out.truncate(d - out.constData());
}

bool FitsWindows1252(QChar c)
{
    return EncodeChar(c.unicode()) >= 0;
}

bool FitsWindows1252(const QString &text)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        i += AsciiRun(p + i, n - i);
        if (i < n && p[i] >= 0x80 && EncodeChar(p[i]) < 0)
            return false;
    }
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
        i += AsciiRun(bytes.data() + i, n - i);
        if (i >= n)
            break;
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        // Accented Latin letters: a two-byte sequence that is never overlong.
        if (b >= 0xC2 && b < 0xE0 && i + 1 < n && (p[i + 1] & 0xC0) == 0x80) {
            i += 2;
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

// Strict UTF-8 whose characters all fit Windows-1252, written to `out` as
// those bytes, or (Char being char16_t) as the characters themselves.
template <typename Char>
Utf8Text FittingUtf8(QByteArrayView bytes, Char *out, qsizetype *length)
{
    constexpr bool kUnicode = sizeof(Char) == 2;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0, o = 0;
    while (i < n) {
        const qsizetype run = AsciiRun(bytes.data() + i, n - i);
        if constexpr (kUnicode) {
            for (qsizetype k = 0; k < run; ++k)
                out[o + k] = p[i + k];
        } else {
            std::memcpy(out + o, p + i, static_cast<size_t>(run));
        }
        i += run;
        o += run;
        if (i >= n)
            break;
        const unsigned char b = p[i];
        if (b < 0x80) {
            out[o++] = static_cast<Char>(b);
            ++i;
            continue;
        }
        char32_t cp;
        if ((b & 0xE0) == 0xC0 && i + 1 < n && (p[i + 1] & 0xC0) == 0x80 && b >= 0xC2) {
            cp = (char32_t(b & 0x1F) << 6) | (p[i + 1] & 0x3F);
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < n && (p[i + 1] & 0xC0) == 0x80 && (p[i + 2] & 0xC0) == 0x80) {
            cp = (char32_t(b & 0x0F) << 12) | (char32_t(p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F);
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
                return Utf8Text::Invalid;
            i += 3;
        } else {
            // Four-byte sequences never fit; the rest are not UTF-8.
            return IsStrictUtf8(bytes.sliced(i)) ? Utf8Text::Wide : Utf8Text::Invalid;
        }
        const int e = cp1252::Encode(static_cast<char16_t>(cp));
        if (e < 0)
            return IsStrictUtf8(bytes.sliced(i)) ? Utf8Text::Wide : Utf8Text::Invalid;
        out[o++] = static_cast<Char>(kUnicode ? cp : static_cast<char32_t>(e));
    }
    *length = o;
    return Utf8Text::Windows1252;
}

}  // namespace

Utf8Text Utf8AsWindows1252(QByteArrayView bytes, char *out, qsizetype *length)
{
    return FittingUtf8(bytes, out, length);
}

bool IsAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

namespace {

bool IsMarkCategory(QChar::Category k)
{
    return k == QChar::Mark_NonSpacing || k == QChar::Mark_SpacingCombining || k == QChar::Mark_Enclosing;
}

bool IsMark(char32_t c)
{
    return IsMarkCategory(QChar::category(c));
}

bool IsLatinLetter(char32_t c)
{
    if (c < 0x80)
        return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
    // Greek to Mongolian, and CJK to Yi: no Latin letter there (most non-Latin names).
    if ((c >= 0x370 && c < 0x1D00) || (c >= 0x2E80 && c < 0xA720))
        return false;
    return QChar::isLetter(c) && QChar::script(c) == QChar::Script_Latin;
}

// Latin Extended-B letters that real names use: Vietnamese horned letters and
// Romanian comma-below letters. The rest of the block (pinyin tone letters
// too: "Ç–" gives "ǖ"), IPA and the spacing modifiers are what accidental
// Windows-1252 pairs decode to.
bool RareLatin(char32_t c)
{
    if (c < 0x180 || c > 0x2FF)
        return false;
    return !(c == 0x1A0 || c == 0x1A1 || c == 0x1AF || c == 0x1B0 || (c >= 0x218 && c <= 0x21B));
}

// True when no character of the UTF-8 reading looks like what Windows-1252
// bytes produce by accident: C1 controls, IPA letters and spacing modifiers,
// a combining mark with nothing to combine with, a letter of another script
// inside a Latin word ("CAFɖBAR", "Ros陮"). What Windows-1252 holds is plausible.
bool PlausibleUtf8(const QString &text)
{
    // Code points walked in place: the character before, this one and the next.
    const qsizetype n = text.size();
    const auto pointAt = [&](qsizetype i, qsizetype *next) -> char32_t {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            *next = i + 2;
            return QChar::surrogateToUcs4(c, text[i + 1]);
        }
        *next = i + 1;
        return c.unicode();
    };
    char32_t before = 0;
    for (qsizetype i = 0, next = 0; i < n; i = next) {
        const char32_t c = pointAt(i, &next);
        const char32_t previous = before;
        before = c;
        if (c < 0x80 || (c <= 0xFFFF && FitsWindows1252(QChar(static_cast<char16_t>(c)))))
            continue;
        if (c <= 0x9F || RareLatin(c))
            return false;
        qsizetype ignored = 0;
        const char32_t after = next < n ? pointAt(next, &ignored) : 0;
        // One property lookup for most characters; the script only beside a Latin letter.
        const QChar::Category k = QChar::category(c);
        if (IsMarkCategory(k)) {
            if (i == 0 || !(QChar::isLetter(previous) || IsMark(previous)))
                return false;
            const QChar::Script s = QChar::script(c);
            if (s != QChar::Script_Inherited && s != QChar::Script_Common && IsLatinLetter(previous))
                return false;
            continue;
        }
        const bool letter = k >= QChar::Letter_Uppercase && k <= QChar::Letter_Other;
        if (letter && (IsLatinLetter(previous) || IsLatinLetter(after))) {
            const QChar::Script s = QChar::script(c);
            if (s != QChar::Script_Latin && s != QChar::Script_Common)
                return false;
        }
    }
    return true;
}

// Five bytes have no character in Windows-1252: text holding one was not written in it.
bool PlausibleWindows1252(QByteArrayView bytes)
{
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D)
            return false;
    }
    return true;
}

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

}  // namespace

QString DecodeUtf8(QByteArrayView bytes)
{
    qsizetype marks = 0;
    while (bytes.sliced(3 * marks).startsWith(kUtf8Mark))
        ++marks;
    if (marks == 0)
        return QString::fromUtf8(bytes);
    return QString(marks, QChar(0xFEFF)) + QString::fromUtf8(bytes.sliced(3 * marks));
}

bool DecodeUtf8Strict(QByteArrayView bytes, QString *out)
{
    if (!IsStrictUtf8(bytes))
        return false;
    if (out)
        *out = DecodeUtf8(bytes);
    return true;
}

namespace {

// How one text reads (see ReadsAsWindows1252): true for UTF-8, whose
// characters `utf8` then receives (the mark dropped), decoded once.
bool ReadsAsUtf8(QByteArrayView bytes, QString *utf8)
{
    // Plain ASCII is by far the most common case: the same either way.
    if (IsAscii(bytes))
        return false;
    if (utf8) {
        // Most texts: UTF-8 of characters the code page holds, plausible as it is.
        QString fitting(bytes.size(), Qt::Uninitialized);
        qsizetype length = 0;
        switch (FittingUtf8(bytes, reinterpret_cast<char16_t *>(fitting.data()), &length)) {
        case Utf8Text::Windows1252:
            fitting.truncate(length);
            *utf8 = std::move(fitting);
            return true;
        case Utf8Text::Invalid:
            return false;
        case Utf8Text::Wide:
            break;
        }
    } else if (!IsStrictUtf8(bytes)) {
        return false;
    }
    return WideUtf8Reads(bytes, utf8);
}

}  // namespace

bool WideUtf8Reads(QByteArrayView bytes, QString *utf8)
{
    if (bytes.startsWith(kUtf8Mark)) {
        if (utf8)
            *utf8 = DecodeUtf8(bytes.sliced(3));
        return true;  // a text marked as UTF-8 (see TextBytes)
    }
    QString text = DecodeUtf8(bytes);
    if (!PlausibleUtf8(text) && PlausibleWindows1252(bytes))
        return false;
    if (utf8)
        *utf8 = std::move(text);
    return true;
}

bool ReadsAsWindows1252(QByteArrayView bytes)
{
    return !ReadsAsUtf8(bytes, nullptr);
}

QString DecodeFileText(QByteArrayView bytes)
{
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes);
    QString utf8;
    return ReadsAsUtf8(bytes, &utf8) ? utf8 : DecodeWindows1252(bytes);
}

// Utf8ReadsBack for a text with a character Windows-1252 does not hold.
bool WideUtf8ReadsBack(const QString &text)
{
    // A text of its own starting with the byte-order mark would lose it: the mark is read as a marker.
    if (text.startsWith(QChar(0xFEFF)))
        return false;
    // A lone surrogate half has no UTF-8: it never comes back.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    // As ReadsAsWindows1252 decides on the UTF-8, which is strict and not ASCII here.
    return PlausibleUtf8(text) || !PlausibleWindows1252(text.toUtf8());
}

bool Utf8ReadsBack(const QString &text)
{
    // Characters Windows-1252 holds always read as UTF-8: most texts stop here.
    return FitsWindows1252(text) || WideUtf8ReadsBack(text);
}

QByteArray TextBytes(const QString &text)
{
    // Encoded while the characters fit, in one pass.
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *d = bytes.data();
    bool fits = true;
    for (qsizetype i = 0; i < text.size() && fits; ++i) {
        const int b = EncodeChar(text[i].unicode());
        fits = b >= 0;
        d[i] = static_cast<char>(b);
    }
    if (fits && ReadsAsWindows1252(bytes))
        return bytes;
    QByteArray utf8 = text.toUtf8();
    if (fits || WideUtf8ReadsBack(text))
        return utf8;
    // Even UTF-8 would be misread ("ɖ" alone reads as "É–"): the mark says what it is.
    return QByteArray(kUtf8Mark) + utf8;
}

}  // namespace orvalis
