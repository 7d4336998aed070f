#include "app/app_context.h"

#include "files/memory_check.h"

#include <QDir>

namespace orvalis {

AppEnvironment ReadEnvironment(const QStringList &arguments)
{
    AppEnvironment env;
    env.tempDir = qEnvironmentVariable("TEMP");
    if (env.tempDir.isEmpty())
        env.tempDir = QDir::tempPath();
    // Browsers are handed the page by absolute path; a relative TEMP would not find it.
    env.tempDir = QDir::cleanPath(QDir(QDir::fromNativeSeparators(env.tempDir)).absolutePath());
    env.locale = QLocale::system();
    const QString point = env.locale.decimalPoint();
    env.separator = point.isEmpty() ? QChar(u'.') : point.at(0);
    env.arguments = arguments;
    env.availableMemory = [] { return AvailableMemory(); };
    return env;
}

}  // namespace orvalis
