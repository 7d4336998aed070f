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

MapPublisher::MapPublisher(Dialogs &dialogs, SystemServices &system, QWidget *owner, const QString &pagePath,
                           std::function<bool()> embeddedChosen)
    : dialogs_(dialogs), system_(system), owner_(owner), path_(pagePath), embeddedChosen_(std::move(embeddedChosen)),
      addresses_(MapAddressesForKey(qEnvironmentVariable("ORVALIS_GOOGLE_MAPS_KEY")))
{
    InitUiResources();
}

bool MapPublisher::writeSupportFiles()
{
    // The adapter and Leaflet go beside the page, for the embedded and the external browser alike.
    const QString folder = QFileInfo(path_).path();
    if (!EnsurePrivateFolder(folder))
        return false;
    QDirIterator it(QStringLiteral(":/maps"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString resource = it.next();
        const QString target = folder + resource.mid(QStringLiteral(":/maps").size());
        QFile source(resource);
        if (QFileInfo(target).size() == source.size() && supportWritten_)
            continue;
        if (!source.open(QIODevice::ReadOnly))
            return false;
        if (!WritePrivateFile(target, source.readAll()))
            return false;
    }
    supportWritten_ = true;
    return true;
}

bool MapPublisher::writePage(const QString &page)
{
    const bool support = !addresses_.adapter || writeSupportFiles();
    if (!support || !WritePrivateFile(path_, EncodeWindows1252(page))) {
        dialogs_.message(owner_, QStringLiteral("Impossible de créer le fichier temporaire \"Orvalis.htm\""));
        return false;
    }
    written_ = true;
    return true;
}

void MapPublisher::show(EmbeddedBrowser *surface)
{
    if (embeddedChosen_()) {
        if (surface)
            surface->navigateToFile(path_);
    } else {
        launchExternal();
    }
}

void MapPublisher::launchExternal()
{
    if (const auto cmd = ExternalLaunchCommand(code_, entry_, path_)) {
        if (system_.startProgram(cmd->program, cmd->arguments))
            return;
    }
    // An unknown browser, or one that would not start: the desktop's own handler.
    if (system_.openUrl(QUrl::fromLocalFile(path_)) > 32)
        return;
    dialogs_.message(owner_, QStringLiteral("Navigateur non identifié"));
}

void MapPublisher::detectDefaultBrowser()
{
    entry_ = system_.defaultBrowserEntry();
    code_ = BrowserCodeFromDesktopEntry(entry_);
}

}  // namespace orvalis
