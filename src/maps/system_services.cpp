#include "maps/system_services.h"

#include <QDesktopServices>
#include <QProcess>

namespace orvalis {

namespace {
QString RunQuiet(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForStarted(2000))
        return {};
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(1000);
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}
}  // namespace

QString QtSystemServices::defaultBrowserEntry()
{
    QString entry = RunQuiet(QStringLiteral("xdg-settings"), {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    if (entry.isEmpty())
        entry = RunQuiet(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    return entry;
}

bool QtSystemServices::startProgram(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

int QtSystemServices::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url) ? 42 : 2;
}

}  // namespace orvalis
