// Saving the table (OV2, GPX, CSV) and printing the selection.
#include "files/file_commands.h"

#include "table/poi_table_tab.h"

#include "app/app_context.h"
#include "app/dialogs.h"
#include "files/csv_format.h"
#include "files/gpx_format.h"
#include "files/listing_painter.h"
#include "files/ov2_format.h"
#include "files/print_listing.h"
#include "files/save_file.h"
#include "table/poi_grid.h"

#include <QDir>
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
    *path = tab_.context().dialogs.saveFileName(&tab_, tab_.document().importFolder(), filter, suffix);
    if (path->isEmpty())
        return false;
    if (QFileInfo::exists(*path) &&
        !tab_.context().dialogs.askYesCancel(&tab_, QStringLiteral("Le fichier :\n") + QDir::toNativeSeparators(*path) +
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
        tab_.context().dialogs.message(&tab_, report.failure == SaveFailure::FolderNotWritable
                                             ? cannotCreate + QStringLiteral("\nLe dossier n'est pas accessible en écriture.")
                                             : cannotCreate);
        return false;
    }
    // Said after the success message, so that the group's members know.
    *note = report.groupKept ? QString() : QStringLiteral("\n\nLe groupe du fichier n'a pas pu être conservé.");
    return true;
}

void FileCommands::saveFamily(bool gpx, bool selectionOnly)
{
    int first = 1, last = tab_.table().lastRow();
    if (selectionOnly)
        std::tie(first, last) = tab_.grid()->selectedRange();
    const int count = selectionOnly ? last - first + 1 : tab_.table().rowCount() - 1;
    const FormatInfo info = Info(gpx ? Format::Gpx : Format::Ov2);
    QString path;
    if (!askSavePath(info.filter, info.suffix, &path))
        return;
    const QByteArray bytes = gpx ? GpxFileBytes(tab_.table(), first, last) : Ov2FileBytes(tab_.table(), first, last, tab_.context().env.separator);
    QString note;
    if (!writeWhole(path, bytes, info.cannotCreate, &note))
        return;  // the changes are not saved: the mark stays
    tab_.context().dialogs.information(&tab_, QStringLiteral("Le fichier\n") + QDir::toNativeSeparators(path) +
                                       QStringLiteral("\na été correctement créé.\n\nIl contient ") +
                                       QString::number(count) + QStringLiteral(" POIs") + note);
    tab_.document().setCaption(QDir::toNativeSeparators(path));
    tab_.setModified(false);
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
    if (!writeWhole(path, CsvFileBytes(tab_.table()), info.cannotCreate, &note))
        return;
    tab_.context().dialogs.information(&tab_, QStringLiteral("Le fichier\n") + QDir::toNativeSeparators(path) +
                                       QStringLiteral("\na été correctement créé.") + note);
    tab_.setModified(false);
}

void FileCommands::BitBtn10Click()
{
    const auto [top, bottom] = tab_.grid()->selectedRange();
    if (top == bottom && !tab_.context().dialogs.askYesCancel(&tab_, QStringLiteral("Imprimer seulement la ligne selectionnée ?")))
        return;
    std::unique_ptr<QPrinter> printer = tab_.printerFactory() ? tab_.printerFactory()() : DefaultPrinter();
    const auto ops = ListingOperations(tab_.table(), top, bottom, tab_.document().caption(), tab_.document().poiCountText());
    if (!printer || !PaintListing(*printer, ops))
        tab_.context().dialogs.message(&tab_, QStringLiteral("Aucune imprimante n'est disponible."));
}

}  // namespace orvalis
