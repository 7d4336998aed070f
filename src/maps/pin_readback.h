#pragma once

#include <QString>
#include <optional>

namespace orvalis {

// Coordinates read back from a pin page's text.
struct PinReading {
    QString latitude;
    QString longitude;
};

// The body text as the read-back expects it: a carriage return before every
// line break, and one comma appended.
QString ReadBackText(const QString &plainText);

// Add page: the first line holds "lat, lng". Characters from '-' to '9' of
// the text before the first comma or carriage return make the latitude; the
// longitude is what follows ", " up to the next comma or carriage return.
PinReading ScanAddPage(const QString &text);
// Move page: the same, starting three characters after the first "endes"
// (the end of the map's "Légendes" line); without that anchor nothing is read.
PinReading ScanMovePage(const QString &text);
bool HasMoveAnchor(const QString &text);

// Both coordinates with the locale's separator, cut to 8 characters; none
// unless both were read.
std::optional<PinReading> FinishReading(PinReading reading, QChar separator);

}  // namespace orvalis
