#pragma once

#include <QApplication>

namespace orvalis {

// An exception that escapes an event handler is shown in a modal message and
// the event loop goes on, instead of ending the program.
class Dialogs;

class OrvalisApplication : public QApplication {
public:
    OrvalisApplication(int &argc, char **argv);
    // Where the report of an escaped exception goes.
    void setDialogs(Dialogs *dialogs) { dialogs_ = dialogs; }
    bool notify(QObject *receiver, QEvent *event) override;

private:
    Dialogs *dialogs_ = nullptr;
};

// Loads Qt's own French texts (file dialogs, context menus, buttons) whatever
// the user's locale, since the whole interface is French. Returns the
// installed translator (owned by the application), or null when Qt's French
// catalogue is not installed.
QObject *InstallQtFrench(QCoreApplication *app);

}  // namespace orvalis
