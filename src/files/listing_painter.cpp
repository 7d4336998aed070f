#include "files/listing_painter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <cmath>

namespace orvalis {

namespace {
constexpr int kListingFontDots = 92;  // 11 points at 600 dpi
}

void UsePaper(QPrinter &printer, const QPageSize &paper)
{
    if (paper.isValid())
        printer.setPageSize(paper);
}

std::unique_ptr<QPrinter> DefaultPrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    // A QPrinter made from a queue starts on the locale's paper, not the queue's.
    UsePaper(*printer, info.defaultPageSize());
    return printer;
}

void FitListingResolution(QPrinter &printer)
{
    const double inches = printer.pageLayout().paintRect(QPageLayout::Inch).height();
    const int dpi = inches > 0 ? static_cast<int>(std::ceil(ListingPageHeight() / inches)) : 600;
    printer.setResolution(std::max(600, dpi));
}

bool PaintListing(QPrinter &printer, const std::vector<PrintOp> &ops)
{
    FitListingResolution(printer);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The layout was drawn for an 11-point font at 600 dpi: the font keeps that
    // size in dots, so at the resolution that fits the paper everything scales alike.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kListingFontDots);
    const QFontMetrics metrics(font, &printer);
    painter.setBrush(Qt::white);
    for (const PrintOp &op : ops) {
        switch (op.kind) {
        case PrintOp::Text: {
            painter.setPen(op.color == PrintOp::Blue ? Qt::blue : op.color == PrintOp::Red ? Qt::red : Qt::black);
            // A text wider than its column is drawn smaller (to half size), then cut, never over the next one.
            QFont cellFont = font;
            const int natural = metrics.horizontalAdvance(op.text);
            if (op.width > 0 && natural > op.width)
                cellFont.setPixelSize(std::max(kListingFontDots / 2, kListingFontDots * op.width / natural));
            painter.setFont(cellFont);
            painter.drawText(QRect(op.x, op.y, op.width > 0 ? op.width : 100000, 10000),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, op.text);
            break;
        }
        case PrintOp::Line:
            painter.setPen(QPen(Qt::black, op.penWidth));
            painter.drawLine(op.x, op.y, op.x2, op.y2);
            break;
        case PrintOp::NewPage:
            printer.newPage();
            break;
        }
    }
    return painter.end();
}

}  // namespace orvalis
