#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace orvalis {

// What the degrees/minutes converter shows when it opens on a table cell.
struct ConverterOpening {
    QString caption;     // "Latitude" or "Longitude"
    QStringList items;   // hemisphere letters
    int selected = 0;    // 1 for S/W (negative coordinate)
    QString degrees;     // whole degrees, as in the cell
    QString minutes;     // decimal minutes, six decimals, or empty
};
ConverterOpening OpenConverterTexts(int column, const QString &coordinate, QChar separator);

// The signed decimal text written back by "OK". Both boxes empty give the
// empty text. `secondItem` is the S or W hemisphere.
QString ConverterResultText(const QString &degreesBox, const QString &minutesBox, bool secondItem, QChar separator);

}  // namespace orvalis
