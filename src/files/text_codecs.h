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

// Strict UTF-8: sequences of one to four bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF. Returns false on any fault.
bool DecodeUtf8Strict(QByteArrayView bytes, QString *out);

// Text read from a POI file: UTF-8 when the bytes are valid UTF-8, otherwise
// Windows-1252, so names written by navigators and older tools survive.
QString DecodeFileText(QByteArrayView bytes);

}  // namespace orvalis
