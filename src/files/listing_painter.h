#pragma once

#include "files/print_listing.h"

#include <memory>
#include <vector>

class QPrinter;
class QPageSize;

namespace orvalis {

// A printer for the system's default printer, or none when the system has no printer.
// The queue's own default paper (Letter, A4...) for the listing.
void UsePaper(QPrinter &printer, const QPageSize &paper);
std::unique_ptr<QPrinter> DefaultPrinter();

// The listing is laid out in printer dots: sets the printer's resolution so
// that a full page (60 rows and the footer) fits the paper's printable height,
// 600 dpi at the least. At 600 dpi it would not fit A4 or Letter.
void FitListingResolution(QPrinter &printer);

// Draws the listing's operations on a printer in its device units at the
// resolution above, with Arial 11 on a white brush; false when the job could not start.
bool PaintListing(QPrinter &printer, const std::vector<PrintOp> &ops);

}  // namespace orvalis
