#include "files/print_listing.h"

#include <QTextBoundaryFinder>

namespace orvalis {

namespace {

// The first `units` UTF-16 units of a text, cut back to where a character
// begins: an emoji's two halves, or a letter and its combining accent, stay together.
QString CutAtCharacter(const QString &text, int units)
{
    if (text.size() <= units)
        return text;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.setPosition(units);
    if (!characters.isAtBoundary())
        characters.toPreviousBoundary();
    return text.left(std::max<qsizetype>(characters.position(), 0));
}
constexpr int kColumnX[] = {50, 250, 650, 1050, 2900};
constexpr int kColumnGap = 20;
constexpr int kRowsPerPage = 60;
constexpr int kLine = 120;

PrintOp Text(int x, int y, const QString &text, PrintOp::Colour color = PrintOp::Black, int width = 0)
{
    PrintOp op;
    op.kind = PrintOp::Text;
    op.x = x;
    op.y = y;
    op.text = text;
    op.color = color;
    op.width = width;
    return op;
}

// A cell of column c, cut where the next column starts so the two never overprint.
PrintOp Cell(int c, int y, const QString &text)
{
    return Text(kColumnX[c], y, text, PrintOp::Black, c + 1 < 5 ? kColumnX[c + 1] - kColumnX[c] - kColumnGap : 0);
}

PrintOp Rule(int y)
{
    PrintOp op;
    op.kind = PrintOp::Line;
    op.x = 50;
    op.y = y;
    op.x2 = 3000;
    op.y2 = y;
    op.penWidth = 6;
    return op;
}
}  // namespace

int ListingPageHeight()
{
    // The footer's last line below the 59th row of a page, and its own height.
    return 560 + kLine * (kRowsPerPage - 1) + kLine;
}

std::vector<PrintOp> ListingOperations(const PoiTable &table, int top, int bottom, const QString &caption,
                                       const QString &poiCount)
{
    std::vector<PrintOp> ops;
    const QString titles[] = {QStringLiteral("Repère"), QStringLiteral("Latitude"), QStringLiteral("Longitude"),
                              QStringLiteral("Description"), QStringLiteral("Distance")};
    for (int c = 0; c < 5; ++c)
        ops.push_back(Cell(c, 80, titles[c]));
    ops.push_back(Rule(200));
    int k = 0;
    for (int row = top; row <= bottom; ++row) {
        const int y = 320 + 120 * k;
        ops.push_back(Cell(0, y, table.field(row, FieldNumber)));
        ops.push_back(Cell(1, y, table.field(row, FieldLatitude)));
        ops.push_back(Cell(2, y, table.field(row, FieldLongitude)));
        ops.push_back(Cell(3, y, CutAtCharacter(table.field(row, FieldDescription), 40)));
        ops.push_back(Cell(4, y, table.field(row, FieldDistance)));
        if (++k == kRowsPerPage) {
            PrintOp page;
            page.kind = PrintOp::NewPage;
            ops.push_back(page);
            k = 0;
        }
    }
    ops.push_back(Rule(320 + 120 * k));
    ops.push_back(Text(50, 440 + 120 * k, caption, PrintOp::Blue));
    ops.push_back(Text(50, 560 + 120 * k, QStringLiteral("Nbre total de POIs = "), PrintOp::Red));
    ops.push_back(Text(1100, 560 + 120 * k, poiCount, PrintOp::Red));
    return ops;
}

}  // namespace orvalis
