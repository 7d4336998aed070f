#include "app/dialogs.h"
#include "app/orvalis_application.h"
#include "app/tform1.h"
#include "files/temporary_files.h"
#include "geo/converter_window.h"
#include "maps/embedded_browser.h"
#include "maps/map_window.h"
#include "maps/system_services.h"

#include <QSocketNotifier>
#include <memory>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM, SIGINT and SIGHUP end the event loop, so that the windows close and
// the page folder is removed; the handler itself only writes a byte.
int signalFd = -1;
void OnQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(signalFd, &byte, 1);
}

// Options are answered on the standard output, as desktop programs do, before any window.
int AnswerOption(const char *option)
{
    int written = 0;
    if (std::strcmp(option, "--version") == 0) {
        written = std::printf("orvalis %s\n", ORVALIS_VERSION);
    } else if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
        written = std::printf("Usage: orvalis [FILE]\n"
                              "       orvalis --help | --version\n\n"
                              "Orvalis: distances, bearings and radius selections for GPS points of interest\n"
                              "(TomTom OV2 and GPX files). Load files from the window (Ctrl+O) or by dropping\n"
                              "them on it; orvalis-cli(1) does the same work from scripts.\n");
    } else {
        return -1;
    }
    return written < 0 || std::fflush(stdout) != 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 2) {
        if (const int answered = AnswerOption(argv[1]); answered >= 0)
            return answered;
    }
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
    int fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> quitNotifier;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
        signalFd = fds[1];
        quitNotifier = std::make_unique<QSocketNotifier>(fds[0], QSocketNotifier::Read);
        QObject::connect(quitNotifier.get(), &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        struct sigaction action {};
        action.sa_handler = OnQuitSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int sig : {SIGTERM, SIGINT, SIGHUP})
            sigaction(sig, &action, nullptr);
    }
    // Those end the event loop once a save under way is done; this one ends the program at once.
    orvalis::RemoveTemporaryFilesOn({SIGPIPE});

    orvalis::TForm1 form1(env, dialogs, system);
    orvalis::TForm2 form2;
    orvalis::TForm3 form3;
    form1.setCompanions(&form2, &form3);
    form1.show();
    return app.exec();
}
