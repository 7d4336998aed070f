#pragma once

#include "files/print_listing.h"

#include <memory>
#include <vector>

class QPrinter;

namespace orvalis {

// A printer for the system's default printer at 600 dpi, or none when the
// system has no printer.
std::unique_ptr<QPrinter> DefaultPrinter();

// Draws the listing's operations on a printer in its device units, with
// Arial 11 on a white brush; false when the job could not start.
bool PaintListing(QPrinter &printer, const std::vector<PrintOp> &ops);

}  // namespace orvalis
