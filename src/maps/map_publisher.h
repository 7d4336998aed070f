#pragma once

#include "maps/page_text.h"

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace orvalis {

class Dialogs;
class EmbeddedBrowser;
class SystemServices;

// Writes map pages over the one map file and shows them in an embedded
// browser or the external one, as the "internal browser" box chooses.
class MapPublisher {
public:
    MapPublisher(Dialogs &dialogs, SystemServices &system, QWidget *owner, const QString &pagePath,
                 std::function<bool()> embeddedChosen);

    const QString &pagePath() const { return path_; }
    const MapAddresses &addresses() const { return addresses_; }
    void setAddresses(const MapAddresses &a) { addresses_ = a; }
    bool embeddedChosen() const { return embeddedChosen_(); }
    // True once a page has been written since start-up.
    bool pageWritten() const { return written_; }

    // Replaces the map file with the page (Windows-1252 bytes); reports and
    // returns false when it cannot be created.
    bool writePage(const QString &page);
    // Directs the surface to the map file, or starts the external browser.
    void show(EmbeddedBrowser *surface);
    void launchExternal();

    // Detects the default browser once; later launches use it.
    void detectDefaultBrowser();
    QString browserCode() const { return code_; }

private:
    bool writeSupportFiles();

    Dialogs &dialogs_;
    SystemServices &system_;
    QWidget *owner_;
    QString path_;
    std::function<bool()> embeddedChosen_;
    MapAddresses addresses_;
    bool written_ = false;
    bool supportWritten_ = false;
    QString code_;
    QString entry_;
};

}  // namespace orvalis
