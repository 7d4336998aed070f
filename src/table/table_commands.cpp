// The first tab's table commands: load, distance run, mouse handling,
// search, in-place editing and deletion.
#include "table/poi_table_tab.h"

#include "app/app_context.h"
#include "app/dialogs.h"
#include "app/widgets_util.h"
#include "files/poi_file.h"
#include "geo/decimal_entry.h"
#include "table/distance_run.h"
#include "table/poi_grid.h"
#include "table/poi_table_model.h"
#include "table/sort_by_field.h"
#include "table/table_search.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>

namespace orvalis {

namespace {

const QString kOpenFilter = QStringLiteral(
    "Fichiers supportés (GPX, OV2)|*.gpx;*.GPX;*.ov2;*.OV2;|Fichiers GPX|*.gpx;*.GPX|Fichiers OV2|*.ov2;*.OV2");

// Work that takes about a second or more: files of 4 MB, tables of a million rows.
constexpr qint64 kLongFile = 4'000'000;
constexpr int kLongTable = 1'000'000;

// Wait cursor, and a progress window for work long enough to need a sign of life.
class BusyIndicator {
public:
    BusyIndicator(QWidget *parent, bool longWork)
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (longWork) {
            progress_ = new QProgressDialog(QStringLiteral("Traitement en cours…"), QString(), 0, 0, parent);
            progress_->setWindowModality(Qt::WindowModal);
            progress_->setMinimumDuration(0);
            progress_->setCancelButton(nullptr);
            progress_->show();
        }
        ProcessPendingMessages();
    }
    ~BusyIndicator()
    {
        delete progress_;
        QApplication::restoreOverrideCursor();
    }

private:
    QProgressDialog *progress_ = nullptr;
};

}  // namespace

int PoiTableTab::baseRow() const
{
    return doc_.baseNumber();
}

void PoiTableTab::setEdit6(const QString &text)
{
    if (Edit6->text() == text)
        Edit6Change();  // the change handler runs even when the number stays
    else
        Edit6->setText(text);
}

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

void PoiTableTab::BitBtn4Click()
{
    BusyIndicator busy(this, table_.lastRow() > kLongTable);
    const int base = baseRow();
    doc_.rearrange([&](PoiTable &table) {
        ComputeDistances(table, base, ctx_.env.separator);
        Label11->setText(table.field(base, FieldDescription));
        ProcessPendingMessages();
        SortByField(table, FieldKey, collator_);
    });
    setEdit6(QStringLiteral("1"));
    SG1->scrollRowToTop(1);
    SG1->selectRows(1, 1);
}

void PoiTableTab::Edit6Change()
{
    doc_.setBaseNumber(ReadWholeNumber(Edit6->text(), 1));
    const QString base = table_.field(baseRow(), FieldDescription);
    Label11->setText(base);
    ProcessPendingMessages();
    BitBtn17->setVisible(base.startsWith(QStringLiteral("GC")) && doc_.ready());
}

void PoiTableTab::SG1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, int col, int row, QPoint globalPos)
{
    click_.lastCol = col;
    click_.lastRow = row;
    if (row == 0) {
        BusyIndicator busy(this, table_.lastRow() > kLongTable);
        setBusy(true);
        ProcessPendingMessages();
        if (editMode_)
            LeaveEditMode();
        // The selection keeps its row numbers; the base panel names the POI now at its number.
        if (col >= 1 && col < kFieldCount)
            doc_.rearrange([&](PoiTable &table) { SortByField(table, col, collator_); });
        if (const int base = FindBaseRow(table_))
            setEdit6(table_.field(base, FieldNumber));
        setBusy(false);
        ProcessPendingMessages();
        return;
    }
    if (row < 1 || !table_.isValidRow(row))
        return;
    if (button == Qt::LeftButton) {
        LeaveMapMode();
        setEdit6(table_.field(row, FieldNumber));
        click_.currentRow = row;
        emit coordinatesClicked(table_.field(row, FieldLatitude), table_.field(row, FieldLongitude));
        return;
    }
    if (button == Qt::RightButton && col >= 1) {
        const bool empty = table_.isEmptyForMenu();
        for (QAction *a : {VisualisercePoisurlacarte1, VisualiserlesPoiselectionnssurlacarte1, TraceruncercleunedistancedunPoi1,
                           DplacercePoisurlacarte1, ModifierletextedecePoi1, SupprimercePoi1})
            a->setEnabled(!empty);
        AjouterdesPoi1->setEnabled(true);
        click_.contextLatitude = table_.field(row, FieldLatitude);
        click_.contextLongitude = table_.field(row, FieldLongitude);
        click_.contextDescription = table_.field(row, FieldDescription);
        click_.currentRow = row;
        if (!editMode_) {
            PopupMenu1->popup(globalPos);
            return;
        }
        // In edit mode the clicked row becomes the edited row without leaving edit mode.
        movingEditedRow_ = true;
        SG1->setCurrentIndex(model_->index(row - 1, col));
        movingEditedRow_ = false;
        OpenConverter(col, row);
    }
}

void PoiTableTab::SG1SelectCell(int, int)
{
    if (editMode_ && !movingEditedRow_)
        LeaveEditMode();
}

void PoiTableTab::LeaveEditMode()
{
    setModified(true);
    SG1->setEditOptions(false);
    editMode_ = false;
    SG1->setFixedColor(Qt::yellow);
}

void PoiTableTab::OpenConverter(int col, int row)
{
    if (!editMode_ || (col != FieldLatitude && col != FieldLongitude) || row < 1 || !table_.isValidRow(row) ||
        table_.field(1, FieldNumber).isEmpty())
        return;
    emit converterRequested(col, table_.field(row, FieldLatitude), table_.field(row, FieldLongitude));
}

void PoiTableTab::writeConverterResult(int column, const QString &text)
{
    // The row of the last click, which may have changed while the converter was open.
    const int row = click_.lastRow;
    if (!table_.isValidRow(row))
        return;
    table_.setField(row, column, text);
    model_->rowsChanged(row, row);
    setModified(true);
}

int PoiTableTab::rowSearch(int from, const QString &pattern)
{
    const int row = RowSearch(table_, from, pattern);
    if (row > 0) {
        SG1->selectRows(row, row);
        SG1->scrollTo(model_->index(row - 1, 1));
        BitBtn8->hide();
        BitBtn9->show();
        return row;
    }
    ctx_.dialogs.information(this, QStringLiteral("La chaine de caractères\n\"") + Edit13->text() +
                                       QStringLiteral("\"\nn'a pas été trouvée."));
    BitBtn9->hide();
    BitBtn8->show();
    return row;
}

void PoiTableTab::BitBtn8Click()
{
    if (Edit13->text().isEmpty())
        return;
    searchPosition_ = rowSearch(1, AsciiUpper(Edit13->text()));
    ProcessPendingMessages();
}

void PoiTableTab::BitBtn9Click()
{
    searchPosition_ = rowSearch(searchPosition_ + 1, AsciiUpper(Edit13->text()));
}

void PoiTableTab::Edit13Change()
{
    BitBtn9->hide();
    BitBtn8->show();
}

void PoiTableTab::ModifierletextedecePoi1Click()
{
    SG1->setEditOptions(true);
    movingEditedRow_ = true;
    SG1->selectCells(click_.currentRow, 0, 1);
    movingEditedRow_ = false;
    SG1->setFixedColor(QColor(192, 192, 192));
    editMode_ = true;
}

void PoiTableTab::SupprimercePoi1Click()
{
    if (!table_.isValidRow(click_.currentRow))
        return;
    // The selection shrinks when the row was in it, and follows its rows otherwise.
    doc_.removeRow(click_.currentRow);
}

}  // namespace orvalis
