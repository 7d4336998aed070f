// Saving the table (OV2, GPX, CSV) and printing the selection.
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

bool PoiTableTab::askSavePath(const QString &filter, const QString &suffix, QString *path)
{
    *path = ctx_.dialogs.saveFileName(this, doc_.importFolder(), filter, suffix);
    if (path->isEmpty())
        return false;
    if (QFileInfo::exists(*path) &&
        !ctx_.dialogs.askYesCancel(this, QStringLiteral("Le fichier :\n") + QDir::toNativeSeparators(*path) +
                                             QStringLiteral("\nexiste déja. \n\nL'écraser ?")))
        return false;
    return true;
}

bool PoiTableTab::writeWhole(const QString &path, const QByteArray &bytes, const QString &cannotCreate)
{
    // An existing file is only ever replaced by a complete one.
    if (!SaveFileBytes(path, bytes)) {
        ctx_.dialogs.message(this, cannotCreate);
        return false;
    }
    return true;
}

void PoiTableTab::saveFamily(bool gpx, bool selectionOnly)
{
    int first = 1, last = table_.lastRow();
    if (selectionOnly)
        std::tie(first, last) = SG1->selectedRange();
    const int count = selectionOnly ? last - first + 1 : table_.rowCount() - 1;
    const FormatInfo info = Info(gpx ? Format::Gpx : Format::Ov2);
    QString path;
    if (!askSavePath(info.filter, info.suffix, &path))
        return;
    const QByteArray bytes = gpx ? GpxFileBytes(table_, first, last) : Ov2FileBytes(table_, first, last, ctx_.env.separator);
    if (!writeWhole(path, bytes, info.cannotCreate))
        return;  // the changes are not saved: the mark stays
    ctx_.dialogs.information(this, QStringLiteral("Le fichier\n") + QDir::toNativeSeparators(path) +
                                       QStringLiteral("\na été correctement créé.\n\nIl contient ") +
                                       QString::number(count) + QStringLiteral(" POIs"));
    doc_.setCaption(QDir::toNativeSeparators(path));
    setModified(false);
}

void PoiTableTab::BitBtn11Click()
{
    saveFamily(false, false);
}

void PoiTableTab::BitBtn7Click()
{
    saveFamily(false, true);
}

void PoiTableTab::BitBtn15Click()
{
    saveFamily(true, false);
}

void PoiTableTab::BitBtn16Click()
{
    saveFamily(true, true);
}

void PoiTableTab::BitBtn18Click()
{
    const FormatInfo info = Info(Format::Csv);
    QString path;
    if (!askSavePath(info.filter, info.suffix, &path))
        return;
    if (!writeWhole(path, CsvFileBytes(table_), info.cannotCreate))
        return;
    ctx_.dialogs.information(this, QStringLiteral("Le fichier\n") + QDir::toNativeSeparators(path) +
                                       QStringLiteral("\na été correctement créé."));
    setModified(false);
}

void PoiTableTab::BitBtn10Click()
{
    const auto [top, bottom] = SG1->selectedRange();
    if (top == bottom && !ctx_.dialogs.askYesCancel(this, QStringLiteral("Imprimer seulement la ligne selectionnée ?")))
        return;
    std::unique_ptr<QPrinter> printer = printerFactory_ ? printerFactory_() : DefaultPrinter();
    const auto ops = ListingOperations(table_, top, bottom, doc_.caption(), doc_.poiCountText());
    if (!printer || !PaintListing(*printer, ops))
        ctx_.dialogs.message(this, QStringLiteral("Aucune imprimante n'est disponible."));
}

}  // namespace orvalis
