#pragma once

#include <QChar>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>

namespace orvalis {

class Dialogs;

// What the program reads from its environment once at start-up.
struct AppEnvironment {
    QString tempDir;         // folder of the map page
    QChar separator = u'.';  // first character of the locale's decimal separator
    QLocale locale;          // collation of the table sort
    QStringList arguments;   // command-line arguments, program name excluded
    std::function<qint64()> availableMemory;  // memory the system can still give, -1 when unknown
};

// TEMP when set, the platform's temporary folder otherwise; the system locale.
AppEnvironment ReadEnvironment(const QStringList &arguments);

// State shared by the tabs of the main window.
struct AppContext {
    Dialogs &dialogs;
    AppEnvironment env;
    // Distance handed by a calculator tab to its map page (metres).
    int mapScaleDistance = 0;
};

}  // namespace orvalis
