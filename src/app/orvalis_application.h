#pragma once

#include <QApplication>

namespace orvalis {

// An exception that escapes an event handler is shown in a modal message and
// the event loop goes on, instead of ending the program.
class OrvalisApplication : public QApplication {
public:
    OrvalisApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

}  // namespace orvalis
