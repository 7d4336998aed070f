#include "app/orvalis_application.h"

#include "app/dialogs.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

namespace orvalis {

OrvalisApplication::OrvalisApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool OrvalisApplication::notify(QObject *receiver, QEvent *event)
{
    QString report;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        report = QString::fromLocal8Bit(e.what());
    } catch (...) {
        report = QStringLiteral("Erreur inattendue.");
    }
    if (dialogs_)
        dialogs_->error(activeWindow(), report);
    return false;
}

QObject *InstallQtFrench(QCoreApplication *app)
{
    auto *translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

}  // namespace orvalis
