// Loading a POI file into the first tab: from the open dialog or a drop.
#include "files/file_commands.h"

#include "app/app_context.h"
#include "app/dialogs.h"
#include "app/widgets_util.h"
#include "files/memory_check.h"
#include "files/poi_file.h"
#include "table/poi_document.h"
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

FileCommands::FileCommands(AppContext &ctx, PoiDocument &document, FileCommandsView &view)
    : ctx_(ctx), doc_(document), view_(view)
{
}

bool FileCommands::mayReplaceTable()
{
    return !doc_.modified() ||
           ctx_.dialogs.askOkCancel(view_.dialogParent(), QStringLiteral("Les données de la grille ont été modifiées et n'ont pas été "
                                                         "sauvegardées.\n\nCharger quand même ?"));
}

void FileCommands::BitBtn3Click()
{
    if (!mayReplaceTable())
        return;
    // The folder of the last load, the home folder the first time.
    const QString start = doc_.importFolder().isEmpty() ? QDir::homePath() : doc_.importFolder();
    const QString path = ctx_.dialogs.openFileName(view_.dialogParent(), QStringLiteral("Choix du fichier à importer"), start, kOpenFilter);
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
        ctx_.dialogs.message(view_.dialogParent(), cannotRead);
        return;
    }
    // A file that would not fit in memory is refused before it is read, and
    // before the table is emptied: its rows are counted a block at a time.
    const qint64 available = ctx_.env.availableMemory ? ctx_.env.availableMemory() : -1;
    if (codec && available >= 0) {
        const qint64 records = CountRecords(codec, file.descriptor());
        if (records < 0) {
            ctx_.dialogs.message(view_.dialogParent(), cannotRead);
            return;
        }
        const int freedRows = doc_.table().isEmptyForAdd() ? 0 : doc_.table().lastRow();
        if (EstimatedLoadBytes(codec, file.size(), records) - TableBytes(freedRows) > available) {
            ctx_.dialogs.message(view_.dialogParent(), QStringLiteral("Mémoire insuffisante pour charger ce fichier."));
            return;
        }
    }
    if (codec && !file.readAll(true)) {
        ctx_.dialogs.message(view_.dialogParent(), cannotRead);
        return;
    }

    bool readAgainFailed = false;
    {
        BusyIndicator busy(view_.dialogParent(), file.data().size() > kLongFile);
        doc_.setReady(false);
        view_.setBusy(true);
        ProcessPendingMessages();

        ReadResult read;
        doc_.resetTable([&](PoiTable &table) {
            table.blankAll();
            if (codec) {
                doc_.setPoiCount(-1);
                doc_.setCaption(QDir::toNativeSeparators(path));
                ProcessPendingMessages();
            }
            // The bytes go as they are read: they are released just after.
            read = ReadPoiData(codec, file.data(), table, ctx_.env.separator, ReadPages::GivenBack);
            if (read.bytesNeededAgain) {
                // Rare (halves of a big GPX file that do not join): a fresh copy, kept whole.
                table.blankAll();
                readAgainFailed = !file.readAgain();
                read = readAgainFailed ? ReadResult() : ReadPoiData(codec, file.data(), table, ctx_.env.separator);
            }
            file.release();  // the sort needs the room
            SortByField(table, FieldDistance, view_.collator());
        });
        // Unknown bytes beep once, however many the file holds.
        if (read.unknownBytes > 0)
            QApplication::beep();
        doc_.setPoiCount(read.counter);
    }

    doc_.setReady(true);
    doc_.setImportFolder(FolderOf(path));
    doc_.clearHistory();  // a new table: nothing to take back
    doc_.setEditMode(false);
    view_.tableLoaded();
    view_.setBusy(false);
    ProcessPendingMessages();
    if (readAgainFailed)
        ctx_.dialogs.message(view_.dialogParent(), cannotRead);
}

}  // namespace orvalis
