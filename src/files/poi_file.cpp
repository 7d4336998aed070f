#include "files/poi_file.h"

#include "files/gpx_format.h"

#include <QFileInfo>

namespace orvalis {

PoiFileKind FileKind(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString ext = dot < 0 ? QString() : name.mid(dot).toUpper();
    if (ext == QStringLiteral(".OV2"))
        return PoiFileKind::Ov2;
    if (ext == QStringLiteral(".GPX"))
        return PoiFileKind::Gpx;
    return PoiFileKind::Other;
}

QString FolderOf(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

bool FileBytes::open(const QString &path)
{
    if (QFileInfo(path).isDir())
        return false;
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly))
        return false;
    size_ = file_.size();
    if (size_ > 0) {
        if (uchar *p = file_.map(0, size_)) {
            mapped_ = reinterpret_cast<const char *>(p);
            return true;
        }
    }
    copy_ = file_.readAll();
    return file_.error() == QFileDevice::NoError;
}

ReadResult ReadPoiData(PoiFileKind kind, QByteArrayView data, PoiTable &table, QChar separator)
{
    ReadResult result;
    if (kind == PoiFileKind::Ov2)
        result = ReadOv2(data, table, separator);
    else if (kind == PoiFileKind::Gpx)
        result = ReadGpx(data, table, separator);
    table.squeeze();
    return result;
}

}  // namespace orvalis
