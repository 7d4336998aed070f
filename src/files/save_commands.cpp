// Saving the table (OV2, GPX, CSV) and printing the selection.
#include "files/file_commands.h"

#include "app/app_context.h"
#include "app/dialogs.h"
#include "files/listing_painter.h"
#include "files/poi_codec.h"
#include "files/print_listing.h"
#include "files/save_file.h"
#include "table/poi_document.h"

#include <QDir>
#include <climits>
#include <QFileInfo>
#include <QLabel>
#include <QPrinter>

namespace orvalis {

namespace {

enum class Format { Ov2, Gpx, Csv };

struct FormatInfo {
    QString filter;
    QString suffix;
    QString cannotCreate;
};

FormatInfo Info(Format f)
{
    switch (f) {
    case Format::Ov2:
        return {QStringLiteral("Fichiers OV2|*.ov2"), QStringLiteral("ov2"), QStringLiteral("Impossible de creer le fichier OV2")};
    case Format::Gpx:
        return {QStringLiteral("Fichiers GPX|*.gpx"), QStringLiteral("gpx"), QStringLiteral("Impossible de creer le fichier GPX")};
    default:
        return {QStringLiteral("Fichiers CSV|*.csv"), QStringLiteral("csv"), QStringLiteral("Impossible de creer le fichier CSV")};
    }
}

}  // namespace

bool FileCommands::askSavePath(const QString &filter, const QString &suffix, QString *path)
{
    *path = ctx_.dialogs.saveFileName(view_.dialogParent(), doc_.importFolder(), filter, suffix);
    if (path->isEmpty())
        return false;
    if (QFileInfo::exists(*path) &&
        !ctx_.dialogs.askYesCancel(view_.dialogParent(), QStringLiteral("Le fichier :\n") + QDir::toNativeSeparators(*path) +
                                             QStringLiteral("\nexiste déja. \n\nL'écraser ?")))
        return false;
    return true;
}

bool FileCommands::writeWhole(const QString &path, const QByteArray &bytes, const QString &cannotCreate, QString *note)
{
    // An existing file is only ever replaced by a complete one.
    SaveReport report;
    if (!SaveFileBytes(path, bytes, &report)) {
        // The old file is untouched; where its folder is the cause, say so.
        ctx_.dialogs.message(view_.dialogParent(), report.failure == SaveFailure::FolderNotWritable
                                             ? cannotCreate + QStringLiteral("\nLe dossier n'est pas accessible en écriture.")
                                             : cannotCreate);
        return false;
    }
    // Said after the success message, so that the group's members know.
    *note = report.groupKept ? QString() : QStringLiteral("\n\nLe groupe du fichier n'a pas pu être conservé.");
    return true;
}

namespace {

// The rows [first, last] in the window's layout of a format, from its codec.
QByteArray TableBytesAs(QStringView codecName, const PoiTable &table, int first, int last, QChar separator)
{
    WriteOptions options;
    options.separator = separator;
    return CodecNamed(codecName)->tableBytes(table, first, last, options, nullptr);
}

}  // namespace

void FileCommands::saveFamily(bool gpx, bool selectionOnly)
{
    int first = 1, last = doc_.table().lastRow();
    if (selectionOnly)
        std::tie(first, last) = view_.selectedRows();
    const FormatInfo info = Info(gpx ? Format::Gpx : Format::Ov2);
    QString path;
    if (!askSavePath(info.filter, info.suffix, &path))
        return;
    const QByteArray bytes = TableBytesAs(gpx ? u"gpx" : u"ov2", doc_.table(), first, last, ctx_.env.separator);
    QString note;
    if (!writeWhole(path, bytes, info.cannotCreate, &note))
        return;  // the changes are not saved: the mark stays
    ctx_.dialogs.information(view_.dialogParent(), QStringLiteral("Le fichier\n") + QDir::toNativeSeparators(path) +
                                       QStringLiteral("\na été correctement créé.\n\nIl contient ") +
                                       QString::number(doc_.table().countWithCoordinates(first, last)) + QStringLiteral(" POIs") + note);
    doc_.setCaption(QDir::toNativeSeparators(path));
    doc_.setModified(false);
}

void FileCommands::BitBtn11Click()
{
    saveFamily(false, false);
}

void FileCommands::BitBtn7Click()
{
    saveFamily(false, true);
}

void FileCommands::BitBtn15Click()
{
    saveFamily(true, false);
}

void FileCommands::BitBtn16Click()
{
    saveFamily(true, true);
}

void FileCommands::BitBtn18Click()
{
    const FormatInfo info = Info(Format::Csv);
    QString path;
    if (!askSavePath(info.filter, info.suffix, &path))
        return;
    QString note;
    if (!writeWhole(path, TableBytesAs(u"window-csv", doc_.table(), 1, INT_MAX, ctx_.env.separator), info.cannotCreate, &note))
        return;
    ctx_.dialogs.information(view_.dialogParent(), QStringLiteral("Le fichier\n") + QDir::toNativeSeparators(path) +
                                       QStringLiteral("\na été correctement créé.") + note);
    doc_.setModified(false);
}

void FileCommands::BitBtn10Click()
{
    const auto [top, bottom] = view_.selectedRows();
    if (top == bottom && !ctx_.dialogs.askYesCancel(view_.dialogParent(), QStringLiteral("Imprimer seulement la ligne selectionnée ?")))
        return;
    std::unique_ptr<QPrinter> printer = view_.printer();
    const auto ops = ListingOperations(doc_.table(), top, bottom, doc_.caption(), doc_.poiCountText());
    if (!printer || !PaintListing(*printer, ops))
        ctx_.dialogs.message(view_.dialogParent(), QStringLiteral("Aucune imprimante n'est disponible."));
}

}  // namespace orvalis
