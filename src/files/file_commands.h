#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <utility>

class QCollator;
class QPrinter;
class QWidget;

namespace orvalis {

struct AppContext;
class PoiDocument;

// What the file commands need of the window that shows the table.
class FileCommandsView {
public:
    virtual ~FileCommandsView() = default;
    virtual QWidget *dialogParent() = 0;
    // Top and bottom of the selected rows.
    virtual std::pair<int, int> selectedRows() const = 0;
    // Where the listing is printed; none when no printer is there.
    virtual std::unique_ptr<QPrinter> printer() = 0;
    virtual const QCollator &collator() const = 0;
    // The grey of a long command.
    virtual void setBusy(bool busy) = 0;
    // A table was loaded: the base back to 1, the grid in its table mode on row 1.
    virtual void tableLoaded() = 0;
};

// The first tab's file commands: load (open dialog or drop), save as OV2,
// GPX or CSV, print the selection.
class FileCommands {
public:
    FileCommands(AppContext &ctx, PoiDocument &document, FileCommandsView &view);

    void BitBtn3Click();   // load
    void loadDroppedFile(const QString &path);
    void BitBtn11Click();  // save all, OV2
    void BitBtn7Click();   // save selection, OV2
    void BitBtn15Click();  // save all, GPX
    void BitBtn16Click();  // save selection, GPX
    void BitBtn18Click();  // CSV export
    void BitBtn10Click();  // print

private:
    bool mayReplaceTable();
    void loadFile(const QString &path);
    bool askSavePath(const QString &filter, const QString &suffix, QString *path);
    // False after saying why; `note` gets what the success message must add.
    bool writeWhole(const QString &path, const QByteArray &bytes, const QString &cannotCreate, QString *note);
    void saveFamily(bool gpx, bool selectionOnly);

    AppContext &ctx_;
    PoiDocument &doc_;
    FileCommandsView &view_;
};

}  // namespace orvalis
