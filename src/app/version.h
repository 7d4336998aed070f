#pragma once

#include <QString>

namespace orvalis {

// The program's version, from the build (project's VERSION); shown in the
// window caption, the help tab, the browser's user agent and orvalis-cli --version.
inline QString Version()
{
    return QStringLiteral(ORVALIS_VERSION);
}

}  // namespace orvalis
