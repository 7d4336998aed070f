#include "maps/map_publisher.h"

#include "app/dialogs.h"
#include "app/widgets_util.h"
#include "files/text_codecs.h"
#include "maps/browser_launch.h"
#include "maps/embedded_browser.h"
#include "maps/map_page_file.h"
#include "maps/system_services.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace orvalis {

MapPublisher::MapPublisher(Dialogs &dialogs, SystemServices &system, QWidget *owner, const QString &tempDir,
                           std::function<bool()> embeddedChosen)
    : dialogs_(dialogs), system_(system), owner_(owner), tempDir_(tempDir), embeddedChosen_(std::move(embeddedChosen)),
      addresses_(MapAddressesForKey(qEnvironmentVariable("ORVALIS_GOOGLE_MAPS_KEY")))
{
    InitUiResources();
    // Folders that runs killed before they could clean up left behind.
    RemoveStalePageFolders(tempDir_);
}

MapPublisher::~MapPublisher() = default;

QString MapPublisher::pagePath() const
{
    return folder_ ? MapPageFile(folder_->path()) : QString();
}

bool MapPublisher::ensureFolder()
{
    // Checked at every page: a folder deleted or loosened since is replaced by a
    // fresh one, which needs the support files again.
    if (!folder_)
        folder_ = std::make_unique<PageFolder>(tempDir_);
    bool fresh = false;
    if (!folder_->ensure(&fresh)) {
        folder_.reset();
        return false;
    }
    if (fresh)
        supportWritten_ = false;
    return true;
}

bool MapPublisher::writeSupportFiles()
{
    // The adapter and Leaflet go beside the page, for the embedded and the
    // external browser alike.
    if (supportWritten_)
        return true;
    QDirIterator it(QStringLiteral(":/maps"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString resource = it.next();
        QFile source(resource);
        if (!source.open(QIODevice::ReadOnly))
            return false;
        if (!folder_->writeFile(resource.mid(QStringLiteral(":/maps/").size()), source.readAll()))
            return false;
    }
    supportWritten_ = true;
    return true;
}

bool MapPublisher::writePage(const QString &page)
{
    lastWriteOk_ = ensureFolder() && (!addresses_.adapter || writeSupportFiles()) &&
                   folder_->writeFile(QStringLiteral("Orvalis.htm"), EncodeWindows1252(page));
    if (!lastWriteOk_) {
        dialogs_.message(owner_, QStringLiteral("Impossible de créer le fichier temporaire \"Orvalis.htm\""));
        return false;
    }
    written_ = true;
    return true;
}

void MapPublisher::removePages()
{
    folder_.reset();
    lastWriteOk_ = false;
}

void MapPublisher::show(EmbeddedBrowser *surface)
{
    // A page that could not be written is never replaced by whatever lies there.
    if (!lastWriteOk_)
        return;
    if (embeddedChosen_()) {
        if (surface)
            surface->navigateToFile(pagePath());
    } else {
        launchExternal();
    }
}

void MapPublisher::launchExternal()
{
    const QString path = pagePath();
    if (const auto cmd = ExternalLaunchCommand(code_, entry_, path)) {
        if (system_.startProgram(cmd->program, cmd->arguments))
            return;
    }
    // An unknown browser, or one that would not start: the desktop's own handler.
    if (system_.openUrl(QUrl::fromLocalFile(path)) > 32)
        return;
    dialogs_.message(owner_, QStringLiteral("Navigateur non identifié"));
}

void MapPublisher::detectDefaultBrowser()
{
    entry_ = system_.defaultBrowserEntry();
    code_ = BrowserCodeFromDesktopEntry(entry_);
}

}  // namespace orvalis
