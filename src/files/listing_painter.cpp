#include "files/listing_painter.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace orvalis {

std::unique_ptr<QPrinter> DefaultPrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    // The listing is laid out in 600 dpi dots.
    printer->setResolution(600);
    return printer;
}

bool PaintListing(QPrinter &printer, const std::vector<PrintOp> &ops)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(11);
    painter.setFont(font);
    painter.setBrush(Qt::white);
    for (const PrintOp &op : ops) {
        switch (op.kind) {
        case PrintOp::Text:
            painter.setPen(op.color == PrintOp::Blue ? Qt::blue : op.color == PrintOp::Red ? Qt::red : Qt::black);
            painter.drawText(QRect(op.x, op.y, 100000, 10000), Qt::AlignLeft | Qt::AlignTop, op.text);
            break;
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
