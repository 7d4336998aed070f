#pragma once

#include "files/ov2_format.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace orvalis {

enum class PoiFileKind { Ov2, Gpx, Other };
// By the extension of the file name (case ignored); a point in a folder name does not count.
PoiFileKind FileKind(const QString &path);
// The folder of a file, with its trailing separator.
QString FolderOf(const QString &path);

// A file's bytes, mapped when possible, read whole otherwise.
class FileBytes {
public:
    bool open(const QString &path);
    QByteArrayView data() const { return mapped_ ? QByteArrayView(mapped_, size_) : QByteArrayView(copy_); }

private:
    QFile file_;
    const char *mapped_ = nullptr;
    qint64 size_ = 0;
    QByteArray copy_;
};

// Reads a POI file of the given kind into the (emptied) table.
ReadResult ReadPoiData(PoiFileKind kind, QByteArrayView data, PoiTable &table, QChar separator);

}  // namespace orvalis
