#include "files/text_codecs.h"

#include "table/cp1252.h"

#include <QList>
#include <QVarLengthArray>

#include <cstdint>
#include <bit>
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
        if (const uint64_t high = word & kHigh) {
            // The units before the first that is not ASCII are ASCII too.
            if constexpr (std::endian::native == std::endian::little)
                i += std::countr_zero(high) / (8 * qsizetype(sizeof(Unit)));
            break;
        }
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
int Utf8Sequence(const unsigned char *p, qsizetype n, char32_t *c)
{
    const unsigned char b = p[0];
    if (b < 0x80) {
        *c = b;
        return 1;
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
        return 0;  // stray continuation byte or invalid lead
    }
    if (len > n)
        return 0;
    for (int k = 1; k < len; ++k) {
        const unsigned char next = p[k];
        if ((next & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *c = cp;
    return len;
}

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
        char32_t c;
        const int len = Utf8Sequence(p + i, n - i, &c);
        if (len == 0)
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
        // ASCII eight bytes at a time while it lasts (short runs between accents too: no call).
        if constexpr (!kUnicode) {
            // The word is copied whole (o <= i leaves room for it); only its ASCII bytes count.
            for (uint64_t word; i + 8 <= n; i += 8, o += 8) {
                std::memcpy(&word, p + i, 8);
                std::memcpy(out + o, &word, 8);
                if (const uint64_t high = word & 0x8080808080808080ULL) {
                    if constexpr (std::endian::native == std::endian::little) {
                        const qsizetype ascii = std::countr_zero(high) / 8;
                        i += ascii;
                        o += ascii;
                    }
                    break;
                }
            }
        } else {
            const qsizetype run = AsciiRun(bytes.data() + i, n - i);
            for (qsizetype k = 0; k < run; ++k)
                out[o + k] = p[i + k];
            i += run;
            o += run;
        }
        if (i >= n)
            break;
        const unsigned char b = p[i];
        if (b < 0x80) {
            out[o++] = static_cast<Char>(b);
            ++i;
            continue;
        }
        // Latin-1's letters and signs (U+00A0 to U+00FF): the same byte in the code page.
        if ((b == 0xC3 || b == 0xC2) && i + 1 < n && (p[i + 1] & 0xC0) == 0x80 && (b == 0xC3 || p[i + 1] >= 0xA0)) {
            const char32_t latin1 = (char32_t(b & 0x1F) << 6) | (p[i + 1] & 0x3F);
            out[o++] = static_cast<Char>(latin1);
            i += 2;
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
    for (qsizetype i = AsciiRun(bytes.data(), bytes.size()); i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
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

// How a byte of Windows-1252 text reads: a capital, a small letter or neither.
enum class LetterCase { None, Upper, Lower };
LetterCase CaseOf(unsigned char b)
{
    if (b < 0x80)
        return b >= 'A' && b <= 'Z' ? LetterCase::Upper : b >= 'a' && b <= 'z' ? LetterCase::Lower : LetterCase::None;
    if (b >= 0xC0)
        return b == 0xD7 || b == 0xF7 ? LetterCase::None : b < 0xDF ? LetterCase::Upper : LetterCase::Lower;
    switch (b) {
    case 0x8A: case 0x8C: case 0x8E: case 0x9F: return LetterCase::Upper;                     // Š Œ Ž Ÿ
    case 0x83: case 0x9A: case 0x9C: case 0x9E: case 0xAA: case 0xB5: case 0xBA: return LetterCase::Lower;  // ƒ š œ ž ª µ º
    default: return LetterCase::None;
    }
}

// The signs of 0x80..0xBF that names put after a letter: dashes, bullets,
// quotes, trade marks, degrees, fractions, currencies.
bool NameSign(unsigned char b)
{
    switch (b) {
    case 0x80: case 0x85: case 0x91: case 0x92: case 0x93: case 0x94: case 0x95: case 0x96: case 0x97: case 0x99:
    case 0xA0: case 0xA2: case 0xA3: case 0xA5: case 0xA7: case 0xA9: case 0xAB: case 0xAE: case 0xB0: case 0xB1:
    case 0xB2: case 0xB3: case 0xB7: case 0xB9: case 0xBB: case 0xBC: case 0xBD: case 0xBE:
        return true;
    default:
        return false;
    }
}

// Signs that stand between two words ("CAFÉ–BAR", "DÉJÀ•VU").
bool Joiner(unsigned char b)
{
    return b == 0x85 || b == 0x91 || b == 0x92 || b == 0x95 || b == 0x96 || b == 0x97 || b == 0xA0 || b == 0xB7;
}

// Pairs that are the UTF-8 of letters names use, read wrongly, whatever
// surrounds them: Latin-1 ("Ã©", "Â°"), Greek ("Î©"), Cyrillic ("Ð¾"), the
// okina and its kin ("Ê»"), the pinyin capitals Ǖ and Ǚ ("Ç•", "Ç™": a
// French Ç ends no word).
bool MisreadLetter(unsigned char lead, unsigned char next)
{
    return lead == 0xC2 || lead == 0xC3 || lead == 0xCE || lead == 0xCF || (lead >= 0xD0 && lead <= 0xD3) ||
           (lead == 0xCA && next >= 0xB9) || (lead == 0xC7 && (next == 0x95 || next == 0x99));
}

// Whether valid UTF-8 bytes, read as Windows-1252, look like a name written
// in it. Each multi-byte sequence reads as an accented letter and signs; that
// is a name only as an accented capital ending a word in capitals, then one
// sign ("CAFÉ–BAR", "HÔTEL•"), or an accented small letter ending a word,
// then two signs ending the word ("Rosé™®"); after a capital a small letter
// may follow only a sign that joins words. The rest is UTF-8 read wrongly:
// "cafÃ©", "PuÊ»uiki", "Î©mega", "IKEAå®œ", "KFCè‚¯".
bool PlausibleWindows1252(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (length == 1 || length == 4 || i + length > n)
            return false;
        for (qsizetype k = 1; k < length; ++k)
            if (!NameSign(p[i + k]))
                return false;
        const LetterCase before = i > 0 ? CaseOf(p[i - 1]) : LetterCase::None;
        const LetterCase after = i + length < n ? CaseOf(p[i + length]) : LetterCase::None;
        const bool joined = Joiner(p[i + length - 1]);
        if (length == 2) {
            // Capitals on both sides keep a word in capitals ("CAFÉ«BAR").
            if (CaseOf(lead) != LetterCase::Upper || before != LetterCase::Upper || MisreadLetter(lead, p[i + 1]) ||
                (after == LetterCase::Lower && !joined))
                return false;
        } else {
            if (after != LetterCase::None)
                return false;
            // After a word in capitals a small letter is no name's ("IKEAå", "KFCè").
            const bool afterCapitals = before == LetterCase::Upper && i > 1 && CaseOf(p[i - 2]) == LetterCase::Upper;
            if (before == LetterCase::None || afterCapitals)
                return false;
        }
        i += length;
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
    // The cheap question first: bytes that look like no Windows-1252 name (most
    // UTF-8 of other scripts, at their first character) read as UTF-8 whatever it holds.
    if (!PlausibleWindows1252(bytes)) {
        if (utf8)
            *utf8 = DecodeUtf8(bytes);
        return true;
    }
    QString text = DecodeUtf8(bytes);
    if (!PlausibleUtf8(text))
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

bool FileTextIsUtf8(QByteArrayView bytes, QByteArrayView *utf8)
{
    // The decisions of DecodeFileText, on the bytes.
    *utf8 = bytes;
    if (IsAscii(bytes))
        return true;
    QVarLengthArray<char, 512> encoded(bytes.size());
    qsizetype length = 0;
    switch (FittingUtf8(bytes, encoded.data(), &length)) {
    case Utf8Text::Windows1252:
        return true;
    case Utf8Text::Wide:
        if (bytes.startsWith(kUtf8Mark)) {
            *utf8 = bytes.sliced(3);
            return true;
        }
        return WideUtf8Reads(bytes, nullptr);
    case Utf8Text::Invalid:
        break;
    }
    return false;
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

bool WideUtf8BytesReadBack(QByteArrayView utf8)
{
    // WideUtf8ReadsBack's questions, the cheap one on the bytes first.
    if (utf8.startsWith(kUtf8Mark))
        return false;
    return !PlausibleWindows1252(utf8) || PlausibleUtf8(DecodeUtf8(utf8));
}

QString DecodeText(const EncodedText &text)
{
    switch (text.encoding) {
    case TextEncoding::Windows1252:
        return DecodeWindows1252(text.bytes);
    case TextEncoding::Utf8ElseWindows1252:
        if (!IsStrictUtf8(text.bytes))
            return DecodeWindows1252(text.bytes);
        break;
    case TextEncoding::Utf8:
        break;
    }
    return DecodeUtf8(text.bytes);
}

namespace {

// ReadsAsWindows1252 for bytes that a text was encoded to: most hold an accent
// that starts no UTF-8 sequence where it stands, which decides it at once.
bool EncodedReadsAsWindows1252(QByteArrayView bytes)
{
    const qsizetype ascii = AsciiRun(bytes.data(), bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    for (qsizetype i = ascii; i < bytes.size(); ++i) {
        if (p[i] < 0x80)
            continue;
        char32_t c;
        return Utf8Sequence(p + i, bytes.size() - i, &c) == 0 || ReadsAsWindows1252(bytes);
    }
    return true;  // ASCII
}

}  // namespace

QByteArray TextBytesOf(const EncodedText &first, QByteArrayView joint, const EncodedText &second)
{
    // The code page's bytes of each part, while its characters fit; how each part reads is decided on the way.
    const EncodedText *parts[] = {&first, &second};
    QByteArray encoded(first.bytes.size() + joint.size() + second.bytes.size(), Qt::Uninitialized);
    bool windows1252[2] = {};
    bool fits = true;
    qsizetype at = 0;
    for (int k = 0; k < 2; ++k) {
        const EncodedText &part = *parts[k];
        if (k == 1 && !joint.isEmpty()) {  // an empty view may have no data at all
            std::memcpy(encoded.data() + at, joint.data(), size_t(joint.size()));
            at += joint.size();
        }
        qsizetype length = part.bytes.size();
        Utf8Text read = Utf8Text::Invalid;
        if (part.encoding != TextEncoding::Windows1252)
            read = FittingUtf8(part.bytes, encoded.data() + at, &length);
        if (read == Utf8Text::Invalid && part.encoding == TextEncoding::Utf8)
            return TextBytes(DecodeText(first) + QString::fromLatin1(joint) + DecodeText(second));  // not UTF-8 after all
        windows1252[k] = read == Utf8Text::Invalid;
        if (windows1252[k] && length > 0)
            std::memcpy(encoded.data() + at, part.bytes.data(), size_t(length));
        else if (read == Utf8Text::Wide)
            fits = false;
        at += read == Utf8Text::Wide ? part.bytes.size() : length;  // what it wrote is not used then
    }
    if (fits) {
        encoded.truncate(at);
        if (EncodedReadsAsWindows1252(encoded))
            return encoded;
    }
    QByteArray utf8;
    for (int k = 0; k < 2; ++k) {
        if (k == 1)
            utf8.append(joint);
        if (windows1252[k])
            AppendWindows1252AsUtf8(utf8, parts[k]->bytes);
        else
            utf8.append(parts[k]->bytes);
    }
    if (fits || WideUtf8BytesReadBack(utf8))
        return utf8;
    return QByteArray(kUtf8Mark).append(utf8);
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
