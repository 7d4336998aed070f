// Loading a POI file into the first tab: from the open dialog or a drop.
#include "table/poi_table_tab.h"

#include "app/app_context.h"
#include "app/dialogs.h"
#include "app/widgets_util.h"
#include "files/poi_file.h"
#include "table/poi_grid.h"
#include "table/sort_by_field.h"

#include <QApplication>
#include <QDir>

namespace orvalis {

namespace {

const QString kOpenFilter = QStringLiteral(
    "Fichiers supportés (GPX, OV2)|*.gpx;*.GPX;*.ov2;*.OV2;|Fichiers GPX|*.gpx;*.GPX|Fichiers OV2|*.ov2;*.OV2");

constexpr qint64 kLongFile = 4'000'000;  // bytes: about a second of reading

}  // namespace

bool PoiTableTab::mayReplaceTable()
{
    return !isModified() ||
           ctx_.dialogs.askOkCancel(this, QStringLiteral("Les données de la grille ont été modifiées et n'ont pas été "
                                                         "sauvegardées.\n\nCharger quand même ?"));
}

void PoiTableTab::BitBtn3Click()
{
    if (!mayReplaceTable())
        return;
    // The folder of the last load, the home folder the first time.
    const QString start = doc_.importFolder().isEmpty() ? QDir::homePath() : doc_.importFolder();
    const QString path = ctx_.dialogs.openFileName(this, QStringLiteral("Choix du fichier à importer"), start, kOpenFilter);
    if (path.isEmpty())
        return;  // the table stays as it was
    loadFile(path);
}

void PoiTableTab::loadDroppedFile(const QString &path)
{
    if (mayReplaceTable())
        loadFile(path);
}

void PoiTableTab::loadFile(const QString &path)
{
    // Open first: a file that cannot be read leaves the window untouched.
    const PoiFileKind kind = FileKind(path);
    FileBytes file;
    if (kind != PoiFileKind::Other && !file.open(path)) {
        ctx_.dialogs.message(this, kind == PoiFileKind::Ov2 ? QStringLiteral("Impossible de lire le fichier ov2 à importer")
                                                             : QStringLiteral("Impossible de lire le fichier gpx"));
        return;
    }
    // A file that would not fit in memory is refused before the table is emptied.
    const qint64 available = ctx_.env.availableMemory ? ctx_.env.availableMemory() : -1;
    if (available >= 0 && EstimatedLoadBytes(kind, file.data()) > available) {
        ctx_.dialogs.message(this, QStringLiteral("Mémoire insuffisante pour charger ce fichier."));
        return;
    }

    {
        BusyIndicator busy(this, file.data().size() > kLongFile);
        doc_.setReady(false);
        setBusy(true);
        ProcessPendingMessages();

        ReadResult read;
        doc_.resetTable([&](PoiTable &table) {
            table.blankAll();
            if (kind != PoiFileKind::Other) {
                doc_.setPoiCount(-1);
                doc_.setCaption(QDir::toNativeSeparators(path));
                ProcessPendingMessages();
            }
            read = ReadPoiData(kind, file.data(), table, ctx_.env.separator);
            SortByField(table, FieldDistance, collator_);
        });
        // Unknown bytes beep once, however many the file holds.
        if (read.unknownBytes > 0)
            QApplication::beep();
        doc_.setPoiCount(read.counter);
    }

    doc_.setReady(true);
    doc_.setImportFolder(FolderOf(path));
    setModified(false);
    setEdit6(QStringLiteral("1"));
    editMode_ = false;
    SG1->setEditOptions(false);
    SG1->setFixedColor(Qt::yellow);
    setBusy(false);
    ProcessPendingMessages();
}

}  // namespace orvalis
