// Loading a POI file into the first tab: from the open dialog or a drop.
#include "files/file_commands.h"

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

// The navigators' formats after the first three entries, which stay as they were.
const QString kOpenFilter = QStringLiteral(
    "Fichiers supportés (GPX, OV2)|*.gpx;*.GPX;*.ov2;*.OV2;|Fichiers GPX|*.gpx;*.GPX|Fichiers OV2|*.ov2;*.OV2"
    "|Fichiers GPI (Garmin)|*.gpi;*.GPI|Fichiers ASC (TomTom)|*.asc;*.ASC|Fichiers KMZ (Google Earth)|*.kmz;*.KMZ");

constexpr qint64 kLongFile = 4'000'000;  // bytes: about a second of reading

}  // namespace

FileCommands::FileCommands(PoiTableTab &tab) : tab_(tab) {}

bool FileCommands::mayReplaceTable()
{
    return !tab_.isModified() ||
           tab_.context().dialogs.askOkCancel(&tab_, QStringLiteral("Les données de la grille ont été modifiées et n'ont pas été "
                                                         "sauvegardées.\n\nCharger quand même ?"));
}

void FileCommands::BitBtn3Click()
{
    if (!mayReplaceTable())
        return;
    // The folder of the last load, the home folder the first time.
    const QString start = tab_.document().importFolder().isEmpty() ? QDir::homePath() : tab_.document().importFolder();
    const QString path = tab_.context().dialogs.openFileName(&tab_, QStringLiteral("Choix du fichier à importer"), start, kOpenFilter);
    if (path.isEmpty())
        return;  // the table stays as it was
    loadFile(path);
}

void FileCommands::loadDroppedFile(const QString &path)
{
    if (mayReplaceTable())
        loadFile(path);
}

void FileCommands::loadFile(const QString &path)
{
    // Open first: a file that cannot be read leaves the window untouched.
    const PoiCodec *codec = WindowCodecOfPath(path);
    const QString cannotRead = codec ? codec->windowCannotRead() : QString();
    FileBytes file;
    if (codec && !file.start(path)) {
        tab_.context().dialogs.message(&tab_, cannotRead);
        return;
    }
    // A file that would not fit in memory is refused before the table is emptied:
    // one whose bytes alone would not fit before it is read, then on its rows.
    const qint64 available = tab_.context().env.availableMemory ? tab_.context().env.availableMemory() : -1;
    const int freedRows = tab_.table().isEmptyForAdd() ? 0 : tab_.table().lastRow();
    const auto refuse = [&] { tab_.context().dialogs.message(&tab_, QStringLiteral("Mémoire insuffisante pour charger ce fichier.")); };
    if (codec && available >= 0 && file.size() - freedRows * kRowPeakBytes > available) {
        refuse();
        return;
    }
    if (codec && !file.readAll()) {
        tab_.context().dialogs.message(&tab_, cannotRead);
        return;
    }
    if (available >= 0 && EstimatedLoadBytes(codec, file.data(), freedRows) > available) {
        refuse();
        return;
    }

    {
        BusyIndicator busy(&tab_, file.data().size() > kLongFile);
        tab_.document().setReady(false);
        tab_.setBusy(true);
        ProcessPendingMessages();

        ReadResult read;
        tab_.document().resetTable([&](PoiTable &table) {
            table.blankAll();
            if (codec) {
                tab_.document().setPoiCount(-1);
                tab_.document().setCaption(QDir::toNativeSeparators(path));
                ProcessPendingMessages();
            }
            read = ReadPoiData(codec, file.data(), table, tab_.context().env.separator);
            file.release();  // the sort needs the room
            SortByField(table, FieldDistance, tab_.collator());
        });
        // Unknown bytes beep once, however many the file holds.
        if (read.unknownBytes > 0)
            QApplication::beep();
        tab_.document().setPoiCount(read.counter);
    }

    tab_.document().setReady(true);
    tab_.document().setImportFolder(FolderOf(path));
    tab_.setModified(false);
    tab_.setEdit6(QStringLiteral("1"));
    tab_.document().setEditMode(false);
    tab_.grid()->setEditOptions(false);
    tab_.grid()->setCurrentRowQuietly(1);  // the keyboard's row menu has a row to open on
    tab_.grid()->setFixedColor(Qt::yellow);
    tab_.setBusy(false);
    ProcessPendingMessages();
}

}  // namespace orvalis
