#include "files/csv_format.h"

#include "files/text_codecs.h"

#include <QIODevice>

namespace orvalis {

QByteArray CsvFileBytes(const PoiTable &table)
{
    QString text;
    for (int row = 1; row <= table.lastRow(); ++row) {
        const QString lon = table.field(row, FieldLongitude);
        QString description = table.field(row, FieldDescription);
        if (lon.isEmpty() || description.isEmpty())
            continue;
        QString lat = table.field(row, FieldLatitude);
        lat.replace(u',', u'.');
        description.replace(u';', u' ');
        text += lat + QStringLiteral("; ") + QString(lon).replace(u',', u'.') + QStringLiteral("; ") + description +
                QStringLiteral("; ") + table.field(row, FieldDistance) + QStringLiteral("; ") + table.field(row, FieldCap) +
                QStringLiteral("; \r\n");
    }
    if (FitsWindows1252(text))
        return EncodeWindows1252(text);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool WriteCsv(QIODevice &device, const PoiTable &table)
{
    const QByteArray bytes = CsvFileBytes(table);
    return device.write(bytes) == bytes.size();
}

}  // namespace orvalis
