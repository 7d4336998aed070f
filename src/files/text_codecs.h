#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QString>

namespace orvalis {

// Windows-1252, the 8-bit code page of the files and pages the program writes.
QString DecodeWindows1252(QByteArrayView bytes);
bool FitsWindows1252(QChar c);
bool FitsWindows1252(const QString &text);
// Characters outside the code page become '?'.
QByteArray EncodeWindows1252(const QString &text);

// A character of the Basic Multilingual Plane as UTF-8 at d (no surrogates
// come from Windows-1252); returns the position after it.
inline char *PutUtf8(char *d, char16_t u)
{
    if (u < 0x80) {
        *d++ = static_cast<char>(u);
        return d;
    }
    if (u < 0x800) {
        *d++ = static_cast<char>(0xC0 | (u >> 6));
    } else {
        *d++ = static_cast<char>(0xE0 | (u >> 12));
        *d++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    }
    *d++ = static_cast<char>(0x80 | (u & 0x3F));
    return d;
}

// The character whose first unit is p[*i] as UTF-8 at d, as toUtf8 writes it
// (a surrogate pair as one character, a lone half as '?'); *i moves to its
// last unit. Returns the position after it.
inline char *PutUtf8At(char *d, const char16_t *p, qsizetype *i, qsizetype n)
{
    const char16_t u = p[*i];
    if (!QChar::isSurrogate(u))
        return PutUtf8(d, u);
    if (QChar::isHighSurrogate(u) && *i + 1 < n && QChar::isLowSurrogate(p[*i + 1])) {
        const char32_t c = QChar::surrogateToUcs4(u, p[++*i]);
        *d++ = static_cast<char>(0xF0 | (c >> 18));
        *d++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *d++ = static_cast<char>(0x80 | (c & 0x3F));
        return d;
    }
    *d++ = '?';
    return d;
}

// A text's UTF-8 appended to out, as toUtf8 gives it (a lone surrogate half
// as '?'), without a string in between.
void AppendUtf8(QByteArray &out, QStringView text);

// Windows-1252 bytes as UTF-8 appended to out, `from` bytes becoming `to`
// (none when from is 0): as DecodeWindows1252(bytes).toUtf8() but direct.
void AppendWindows1252AsUtf8(QByteArray &out, QByteArrayView bytes, char from = 0, char to = 0);

// Strict UTF-8: sequences of one to four bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF. Returns false on any fault.
bool DecodeUtf8Strict(QByteArrayView bytes, QString *out);

// UTF-8 bytes of one text as they are: a leading U+FEFF is a character of the
// text here (QString::fromUtf8 drops it as a byte-order mark, one per pass).
QString DecodeUtf8(QByteArrayView bytes);

bool IsStrictUtf8(QByteArrayView bytes);
bool IsAscii(QByteArrayView bytes);

// The strict UTF-8 sequence p starts with (n bytes there, n > 0): its length,
// with its character in *c; 0 when no character starts there.
int Utf8Sequence(const unsigned char *p, qsizetype n, char32_t *c);

// Strict UTF-8 read straight into Windows-1252 bytes when every character
// fits: one pass instead of three for the names of a file. `out` has room for
// as many bytes as `bytes` holds, and any of them may be written.
enum class Utf8Text { Invalid, Windows1252, Wide };
Utf8Text Utf8AsWindows1252(QByteArrayView bytes, char *out, qsizetype *length);
// For strict UTF-8 that Utf8AsWindows1252 found Wide: whether it reads as
// UTF-8 (see ReadsAsWindows1252), and then its characters into `utf8`, the
// way DecodeFileText gives them; one decoding.
bool WideUtf8Reads(QByteArrayView bytes, QString *utf8);

// False for the characters XML 1.0 forbids: controls other than tab, line
// feed and carriage return, and U+FFFE/U+FFFF.
inline bool IsXmlChar(QChar c)
{
    const char16_t u = c.unicode();
    return u >= 0x20 ? (u != 0xFFFE && u != 0xFFFF) : (u == u'\t' || u == u'\n' || u == u'\r');
}

// How one text of a file without a declared encoding (an OV2 name, a CSV
// field) is read, decided for that text alone: bytes that are not UTF-8 are
// Windows-1252; valid UTF-8 is UTF-8 unless that reading is implausible (C1
// controls, IPA letters, a stray combining mark, a lone letter of another
// script inside a Latin word: what Windows-1252 bytes like "É–" or "é™®"
// give by accident) and the Windows-1252 reading looks like a name written
// in it ("CAFÉ–BAR", "Rosé™®"; never "Ê»Aiea", "Î©mega", "IKEAå®œ"). A text
// that starts with the UTF-8 byte-order mark is UTF-8 without it.
bool ReadsAsWindows1252(QByteArrayView bytes);
QString DecodeFileText(QByteArrayView bytes);
// How DecodeFileText reads the bytes, without the string: true for UTF-8
// (ASCII too), then *utf8 holds the text's UTF-8 (the bytes, without a
// leading mark); false for Windows-1252.
bool FileTextIsUtf8(QByteArrayView bytes, QByteArrayView *utf8);

// The bytes a writer gives one text so that DecodeFileText reads it back as it
// is: Windows-1252 where it fits and reads back, otherwise UTF-8, marked with
// the byte-order mark in the rare case that even UTF-8 would be misread.
QByteArray TextBytes(const QString &text);
// True when the text's UTF-8 bytes read back as the text.
bool Utf8ReadsBack(const QString &text);
// TextBytes(DecodeUtf8(utf8)) from the bytes: encoded to Windows-1252 in one
// pass where every character fits.
// Utf8ReadsBack(DecodeUtf8(utf8)) for valid UTF-8 holding a character that
// Windows-1252 lacks.
bool WideUtf8BytesReadBack(QByteArrayView utf8);

// A text as the bytes that hold it, and how they read: UTF-8 (bytes that are
// not read as DecodeUtf8 reads them), Windows-1252, or UTF-8 where they are
// valid and Windows-1252 otherwise (a run of XML text, see XmlRunText).
enum class TextEncoding : unsigned char { Utf8, Windows1252, Utf8ElseWindows1252 };
struct EncodedText {
    QByteArrayView bytes;
    TextEncoding encoding = TextEncoding::Utf8;
    bool isEmpty() const { return bytes.isEmpty(); }
};
QString DecodeText(const EncodedText &text);
// TextBytes of the two texts joined by `joint` (ASCII), from their bytes:
// encoded to Windows-1252 in one pass over each where every character fits,
// UTF-8 (marked when it would be misread) where one does not.
QByteArray TextBytesOf(const EncodedText &first, QByteArrayView joint = {}, const EncodedText &second = {});

}  // namespace orvalis
