// near --base without holding the file: see near_rows.cpp.
#pragma once

#include "cli.h"

#include <optional>

namespace orvalis::cli {

// The rows a load, "Calculer" from row `baseRow` and a Shift-click on the last
// row within `limitMetres` would give, read from `fd` (rewound for each
// reading); nothing when the file is one only the whole reading can tell
// (damage, records without rows): the caller then reads it whole.
std::optional<PoiTable> StreamedNearRows(Cli &cli, const QByteArray &in, const PoiCodec &codec, int fd, int baseRow,
                                         long double limitMetres);

}  // namespace orvalis::cli
