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

}  // namespace orvalis
