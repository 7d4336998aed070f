#pragma once

#include "table/poi_table.h"

#include <QString>
#include <vector>

namespace orvalis {

// One step of the printed listing, in printer dots from the top-left corner
// of the printable area; text positions are the text's top-left.
struct PrintOp {
    enum Kind { Text, Line, NewPage };
    enum Colour { Black, Blue, Red };
    Kind kind = Text;
    int x = 0;
    int y = 0;
    int x2 = 0;
    int y2 = 0;
    int penWidth = 1;
    int width = 0;  // a text is cut at this width (its column); 0: not cut
    QString text;
    Colour color = Black;
};

// The listing of rows [top, bottom]: titles and a rule, one line per row
// (60 a page), then a rule, the window caption in blue and the POI count in red.
// How far down a page of the listing reaches: 60 rows and the footer below them.
int ListingPageHeight();

std::vector<PrintOp> ListingOperations(const PoiTable &table, int top, int bottom, const QString &caption,
                                       const QString &poiCount);

}  // namespace orvalis
