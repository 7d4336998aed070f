#pragma once
// orvalis-cli started as a user would, in a locale (tests define ORVALIS_CLI).

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace orvalis::testing {

struct Result {
    int code = -1;
    QString out;
    QString err;
    QByteArray bytes;  // the standard output as it came
};

inline Result RunCli(const QString &locale, const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", locale);
    env.remove("LANG");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORVALIS_CLI), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    const QByteArray out = p.readAllStandardOutput();
    return {p.exitCode(), QString::fromUtf8(out), QString::fromUtf8(p.readAllStandardError()), out};
}

}  // namespace orvalis::testing
