#pragma once

#include "files/ov2_format.h"

#include <QFile>
#include <QStringList>

namespace orvalis::testing {

// Writes an OV2 file of (latitude, longitude, description) rows, with periods.
inline bool WriteOv2File(const QString &path, const QList<QStringList> &rows)
{
    PoiTable t;
    t.setRowCount(static_cast<int>(rows.size()) + 1);
    for (int r = 1; r <= rows.size(); ++r)
        for (int f = 0; f < 3; ++f)
            t.setField(r, f + 1, rows[r - 1][f]);
    QFile file(path);
    const QByteArray bytes = Ov2FileBytes(t, 1, t.lastRow(), u'.');
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Writes a file of any bytes.
inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A file's bytes; none when it cannot be read.
inline QByteArray FileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file of `head`, then `unit` again and again until it holds `bytes` more.
inline bool WriteRepeated(const QString &path, const QByteArray &head, const QByteArray &unit, qint64 bytes)
{
    QFile f(path);
    bool ok = f.open(QIODevice::WriteOnly) && f.write(head) == head.size();
    QByteArray block;
    while (block.size() < (1 << 20))
        block += unit;
    for (qint64 done = 0; ok && done < bytes; done += block.size())
        ok = f.write(block) == block.size();
    return ok;
}

// Five POIs around Paris and Brittany.
inline QList<QStringList> SamplePois()
{
    return {{"48.85661", "2.35222", "Paris"},
            {"48.39040", "-4.48610", "Brest"},
            {"48.11730", "-1.67780", "Rennes"},
            {"47.21840", "-1.55360", "Nantes"},
            {"48.80490", "2.12040", "GC1ABCD Versailles"}};
}

}  // namespace orvalis::testing
