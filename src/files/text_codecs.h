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

// Windows-1252 bytes as UTF-8 appended to out, `from` bytes becoming `to`
// (none when from is 0): as DecodeWindows1252(bytes).toUtf8() but direct.
void AppendWindows1252AsUtf8(QByteArray &out, QByteArrayView bytes, char from = 0, char to = 0);

// Strict UTF-8: sequences of one to four bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF. Returns false on any fault.
bool DecodeUtf8Strict(QByteArrayView bytes, QString *out);

bool IsStrictUtf8(QByteArrayView bytes);
bool IsAscii(QByteArrayView bytes);

// Strict UTF-8 read straight into Windows-1252 bytes (at most as many as
// `bytes`) when every character fits: one pass instead of three for the
// names of a file.
enum class Utf8Text { Invalid, Windows1252, Wide };
Utf8Text Utf8AsWindows1252(QByteArrayView bytes, char *out, qsizetype *length);

// False for the characters XML 1.0 forbids: controls other than tab, line
// feed and carriage return, and U+FFFE/U+FFFF.
inline bool IsXmlChar(QChar c)
{
    const char16_t u = c.unicode();
    return u >= 0x20 ? (u != 0xFFFE && u != 0xFFFF) : (u == u'\t' || u == u'\n' || u == u'\r');
}

// Text read from a POI file: UTF-8 when the bytes are valid UTF-8, otherwise
// Windows-1252, so names written by navigators and older tools survive.
// In a file some of whose texts are not UTF-8 (`mixedFile`), Windows-1252 text
// that happens to be valid UTF-8 is told apart: UTF-8 is kept only where it
// is evident (a sequence of three or four bytes, or two letters in a row of a
// script Windows-1252 lacks, like Cyrillic), or where this program would have
// written it (MixedFileBytes).
QString DecodeFileText(QByteArrayView bytes, bool mixedFile = false);
// True when DecodeFileText reads the bytes as Windows-1252 (ASCII included).
bool ReadsAsWindows1252(QByteArrayView bytes, bool mixedFile);

// The bytes of a name in a file that mixes Windows-1252 and UTF-8 texts:
// Windows-1252 unless the text does not fit it, or its Windows-1252 bytes
// would read back as other UTF-8 text ("CAFÉ–BAR" is C9 96, UTF-8 for "ɖ").
QByteArray MixedFileBytes(const QString &text);
// True when MixedFileBytes gives Windows-1252 bytes that are not UTF-8: such a
// name makes its file one that mixes the two.
bool NeedsWindows1252(const QString &text);
// True when MixedFileBytes(text) reads back as `text` in a file that mixes the two
// (false for a lone letter outside Windows-1252, like "ɖ", whose UTF-8 looks like "É–").
bool ReadsBackInMixedFile(const QString &text);

}  // namespace orvalis
