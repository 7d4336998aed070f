#include "table/table_search.h"

namespace orvalis {

QString AsciiUpper(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return out;
}

int RowSearch(const PoiTable &table, int from, const QString &pattern)
{
    for (int row = std::max(from, 1); row <= table.lastRow(); ++row) {
        const QString haystack = AsciiUpper(table.field(row, FieldDescription) + table.field(row, FieldDistance) +
                                            table.field(row, FieldKey) + table.field(row, FieldCap));
        if (haystack.contains(pattern))
            return row;
    }
    return 0;
}

}  // namespace orvalis
