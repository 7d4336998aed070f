#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace orvalis {

// Two-letter code of the default browser from its desktop entry
// ("firefox.desktop" → "FF", Chromium or Chrome → "CH", Opera → "OP", else "").
QString BrowserCodeFromDesktopEntry(const QString &desktopEntry);

struct LaunchCommand {
    QString program;
    QStringList arguments;
};
// The command line that shows a map page in the browser the code names; none
// for an unknown code.
std::optional<LaunchCommand> ExternalLaunchCommand(const QString &code, const QString &desktopEntry,
                                                   const QString &pagePath);

// Addresses opened through the desktop.
QString GeocacheAddress(const QString &baseDescription);
// The French report of a failed shell start by its result code; empty for success (above 32).
QString ShellErrorMessage(int resultCode);

}  // namespace orvalis
