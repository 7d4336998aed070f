#pragma once

#include "maps/page_text.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class QWidget;

namespace orvalis {

class Dialogs;
class EmbeddedBrowser;
class PageFolder;
class SystemServices;

// Writes map pages over the one map file and shows them in an embedded
// browser or the external one, as the "internal browser" box chooses.
// The file lives in a folder this process creates with an unpredictable name
// at the first page (so no one can plant it beforehand) and removes on close.
class MapPublisher {
public:
    MapPublisher(Dialogs &dialogs, SystemServices &system, QWidget *owner, const QString &tempDir,
                 std::function<bool()> embeddedChosen);
    ~MapPublisher();

    // The map file; empty until the private folder exists.
    QString pagePath() const;
    const MapAddresses &addresses() const { return addresses_; }
    bool embeddedChosen() const { return embeddedChosen_(); }
    // True once a page has been written since start-up.
    bool pageWritten() const { return written_; }

    // Replaces the map file with the page (Windows-1252 bytes); reports and
    // returns false when it cannot be created.
    bool writePage(const QString &page);
    // Directs the surface to the map file, or starts the external browser;
    // nothing when the last page could not be written.
    void show(EmbeddedBrowser *surface);
    // Removes the private folder and everything in it.
    void removePages();
    void launchExternal();

    // Detects the default browser once; later launches use it.
    void detectDefaultBrowser();

private:
    bool ensureFolder();
    bool writeSupportFiles();

    Dialogs &dialogs_;
    SystemServices &system_;
    QWidget *owner_;
    QString tempDir_;
    std::unique_ptr<PageFolder> folder_;
    std::function<bool()> embeddedChosen_;
    MapAddresses addresses_;
    bool written_ = false;
    bool lastWriteOk_ = false;
    bool supportWritten_ = false;
    QString code_;
    QString entry_;
};

}  // namespace orvalis
