#pragma once
// orvalis-cli run in a forked child (tests define ORVALIS_CLI).

#include <QByteArray>
#include <QList>
#include <unistd.h>
#include <vector>

namespace orvalis::testing {

// In a forked child: the CLI with these arguments, as bytes.
[[noreturn]] inline void ExecCli(const QList<QByteArray> &args)
{
    std::vector<char *> argv{const_cast<char *>(ORVALIS_CLI)};
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    execv(ORVALIS_CLI, argv.data());
    _exit(127);
}

}  // namespace orvalis::testing
