#include "app/dialogs.h"
#include "app/orvalis_application.h"
#include "app/tform1.h"
#include "geo/converter_window.h"
#include "maps/embedded_browser.h"
#include "maps/map_window.h"
#include "maps/system_services.h"

#include <unistd.h>

int main(int argc, char **argv)
{
    // The web engine's sandbox cannot run as root; without this the first map would end the program.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    orvalis::RegisterMapScheme();
    orvalis::OrvalisApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Orvalis"));
    orvalis::InstallQtFrench(&app);
    app.setDesktopFileName(QStringLiteral("org.orvalis.Orvalis"));
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("orvalis"), QIcon(QStringLiteral(":/orvalis.svg"))));

    orvalis::QtDialogs dialogs;
    app.setDialogs(&dialogs);
    orvalis::QtSystemServices system;
    const orvalis::AppEnvironment env = orvalis::ReadEnvironment(app.arguments().mid(1));

    // The main window first, then the map window, then the converter.
    orvalis::TForm1 form1(env, dialogs, system);
    orvalis::TForm2 form2;
    orvalis::TForm3 form3;
    form1.setCompanions(&form2, &form3);
    form1.show();
    return app.exec();
}
