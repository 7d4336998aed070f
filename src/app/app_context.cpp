#include "app/app_context.h"

#include <QDir>

namespace orvalis {

AppEnvironment ReadEnvironment(const QStringList &arguments)
{
    AppEnvironment env;
    env.tempDir = qEnvironmentVariable("TEMP");
    if (env.tempDir.isEmpty())
        env.tempDir = QDir::tempPath();
    env.tempDir = QDir::fromNativeSeparators(env.tempDir);
    env.locale = QLocale::system();
    const QString point = env.locale.decimalPoint();
    env.separator = point.isEmpty() ? QChar(u'.') : point.at(0);
    env.arguments = arguments;
    return env;
}

}  // namespace orvalis
