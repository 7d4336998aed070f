// orvalis-cli: the program's engine without a window. Parses the command
// line and runs the command it names.
#include "app/version.h"
#include "commands.h"
#include "files/temporary_files.h"
#include "progress.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>

using namespace orvalis;
using namespace orvalis::cli;

namespace {

int Run(QList<QByteArray> args)
{
    Cli cli(std::move(args));
    if (cli.args.isEmpty()) {
        std::fputs(Usage().toUtf8().constData(), stderr);
        return 2;
    }
    if (cli.args.first() == "--help" || cli.args.first() == "-h") {
        Out(Usage().chopped(1));
        return 0;
    }
    if (cli.args.first() == "--version") {
        Out(QStringLiteral("orvalis-cli ") + Version());
        return 0;
    }
    const QByteArray name = cli.args.takeFirst();
    const Command *command = nullptr;
    for (const Command &c : Commands())
        if (name == c.name)
            command = &c;
    if (!command)
        throw Failure{QCoreApplication::translate("Cli", "unknown command \"%1\" (see --help)").arg(Shown(name))};
    if (cli.args.contains("--help") || cli.args.contains("-h")) {
        Out(CommandUsage(*command).chopped(1));
        return 0;
    }
    cli.from = cli.option("--from");
    cli.to = cli.option("--to");
    cli.gpx11 = cli.flag("--gpx11");
    cli.skipInvalid = cli.flag("--skip-invalid");
    cli.takeGpiOptions();
    const bool quiet = cli.flag("--quiet"), progress = cli.flag("--progress");
    if (quiet && progress)
        throw Failure{QCoreApplication::translate("Cli", "--quiet and --progress cannot go together")};
    Progress::Global().setMode(quiet ? Progress::Mode::Off : progress ? Progress::Mode::Forced : Progress::Mode::Auto);
    return command->run(cli);
}

}  // namespace

int main(int argc, char **argv)
{
    RemoveTemporaryFilesOn({SIGINT, SIGTERM, SIGHUP, SIGPIPE});
    QCoreApplication app(argc, argv);
    // One language per run: French for a French locale, English otherwise.
    QTranslator french;
    if (QLocale::system().language() == QLocale::French && french.load(QStringLiteral(":/i18n/orvalis-cli_fr.qm")))
        QCoreApplication::installTranslator(&french);
    // Paths are the arguments' bytes, never a decoded and re-encoded text.
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args << QByteArray(argv[i]);
    int code = 0;
    try {
        code = Run(std::move(args));
    } catch (const Failure &f) {
        Err(f.message);
        code = f.code;
    } catch (const OutputFailure &f) {
        const Failure failure = FailureOf(f);
        Err(failure.message);
        code = failure.code;
    } catch (const std::bad_alloc &) {
        // Unwinding has given back what the command held: there is room for the message.
        Err(QCoreApplication::translate("Cli", "not enough memory for this input"));
        code = 1;
    }
    Progress::Global().clear();
    // Output that did not reach its destination is a failure, whatever was printed;
    // a failed write that stopped the command has been told already.
    const bool told = std::ferror(stdout) && code != 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        if (!told)
            Err(StandardOutputFailure().message);
        return code == 0 ? 1 : code;
    }
    return code;
}
