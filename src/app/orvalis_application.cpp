#include "app/orvalis_application.h"

#include <QMessageBox>
#include <exception>

namespace orvalis {

OrvalisApplication::OrvalisApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool OrvalisApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        QMessageBox::critical(activeWindow(), QStringLiteral("Orvalis"), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(activeWindow(), QStringLiteral("Orvalis"), QStringLiteral("Erreur inattendue."));
    }
    return false;
}

}  // namespace orvalis
