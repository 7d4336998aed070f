#pragma once

#include <QByteArray>
#include <QString>

namespace orvalis {

class PoiTableTab;

// The first tab's file commands: load (open dialog or drop), save as OV2,
// GPX or CSV, print the selection.
class FileCommands {
public:
    explicit FileCommands(PoiTableTab &tab);

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

    PoiTableTab &tab_;
};

}  // namespace orvalis
