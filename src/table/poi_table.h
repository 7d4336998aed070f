#pragma once

#include "table/compact_text.h"

#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace orvalis {

// Field indices of a POI row.
enum Field : int {
    FieldNumber = 0,
    FieldLatitude = 1,
    FieldLongitude = 2,
    FieldDescription = 3,
    FieldDistance = 4,
    FieldKey = 5,
    FieldCap = 6,
};
inline constexpr int kFieldCount = 7;

// The one store of POIs. Rows are numbered from 1 to lastRow(); row 0 is the
// title row and holds no data here. An empty table is a single blank row, so
// rowCount() (titles included) is never below 2.
//
// The N° field belongs to the row position, not to the POI: sorting moves
// fields 1..6 and leaves it, which keeps "N° of row r is r" true. It is kept
// as an integer (0 = empty) to save one string per row.
class PoiTable {
public:
    // Fields 1..6 of a row.
    using Content = std::array<CompactText, kFieldCount - 1>;
    // A POI's identity while the table lives: it moves with the row's content
    // through sorts, so a change can be taken back wherever the POI now stands.
    using RowId = uint32_t;
    // What deleting a row took away, enough to put it back as it was.
    struct TakenRow {
        int row = 0;         // where it stood
        RowId id = 0;
        int lastNumber = 0;  // the N° of the last row, which the deletion took away
        bool onlyRow = false;  // it was the only POI: a blank row took its place
        Content fields;
    };

    PoiTable();

    int rowCount() const { return static_cast<int>(numbers_.size()) + 1; }
    int lastRow() const { return static_cast<int>(numbers_.size()); }
    bool isValidRow(int row) const { return row >= 1 && row <= lastRow(); }

    QString field(int row, int f) const;
    void setField(int row, int f, const QString &text);
    void setFieldLatin1(int row, int f, const char *chars, int length);
    void setFieldWindows1252(int row, int f, QByteArrayView bytes);
    bool fieldIsEmpty(int row, int f) const;
    // Calls fn(QStringView) with the field's text without copying it; rows
    // that do not exist read as empty.
    template <typename Fn>
    decltype(auto) visitField(int row, int f, Fn &&fn) const
    {
        if (!isValidRow(row) || f < 0 || f >= kFieldCount)
            return fn(QStringView());
        if (f == FieldNumber) {
            char16_t buf[12];
            int n = 0;
            unsigned v = static_cast<unsigned>(number(row));
            char16_t rev[12];
            while (v > 0) {
                rev[n++] = static_cast<char16_t>(u'0' + v % 10);
                v /= 10;
            }
            for (int i = 0; i < n; ++i)
                buf[i] = rev[n - 1 - i];
            return fn(QStringView(buf, n));
        }
        return rows_[static_cast<size_t>(row - 1)].fields[static_cast<size_t>(f - 1)].visit(fn);
    }
    // The stored form of field f >= 1: Windows-1252 bytes or a view of UTF-16 text.
    template <typename Narrow, typename Wide>
    void visitFieldRaw(int row, int f, Narrow &&narrow, Wide &&wide) const
    {
        if (isValidRow(row) && f > FieldNumber && f < kFieldCount)
            rows_[static_cast<size_t>(row - 1)].fields[static_cast<size_t>(f - 1)].visitRaw(narrow, wide);
        else
            narrow("", 0);
    }
    int number(int row) const { return numbers_[static_cast<size_t>(row - 1)]; }
    void setNumber(int row, int n) { numbers_[static_cast<size_t>(row - 1)] = n; }

    // Grows with blank rows or cuts; never below one POI row.
    void setRowCount(int count);
    // Room for the rows of a file; from then on the long texts it puts in
    // with setFieldWindows1252 share big blocks.
    void reserveRows(int rows);
    // Every field of every POI row becomes empty; the row count stays.
    void blankAll();
    // Deletes a row: the rows below move up, N° keeps counting positions, and
    // the last row goes (or is blanked when it is the only one).
    void deleteRow(int row) { takeRow(row); }
    // The same, giving back what restoreRow needs to undo it.
    TakenRow takeRow(int row);
    // Puts a taken row back at its place (or after the last row when the table
    // is shorter now), the N° column as it was before.
    void restoreRow(const TakenRow &taken);

    RowId rowId(int row) const { return ids_[static_cast<size_t>(row - 1)]; }
    // An identity for a POI about to be put in with restoreRow.
    RowId newId() { return nextId_++; }
    // The row that holds the POI now, 0 when it is not in the table.
    int rowOfId(RowId id) const;

    // Moves the rows of `other` below the last POI row (into the blank row of
    // an empty table), their N° following on.
    void appendRows(PoiTable &&other);

    // Whole-table permutation of fields 1..6: row i receives old row order[i-1].
    void permuteContent(const std::vector<int> &order);
    // Gives back capacity reserved beyond the rows.
    void squeeze();

    // A POI the file writers write: both coordinates there.
    bool hasCoordinates(int row) const { return !fieldIsEmpty(row, FieldLatitude) && !fieldIsEmpty(row, FieldLongitude); }
    // A row with no place at all (as an OV2 extended record leaves): it is measured
    // from nothing and sorts after every POI.
    bool lacksCoordinates(int row) const { return fieldIsEmpty(row, FieldLatitude) && fieldIsEmpty(row, FieldLongitude); }
    int countWithCoordinates(int first, int last) const;

    // Empty as the pop-up menu sees it: one row whose latitude or longitude is empty.
    bool isEmptyForMenu() const;
    // Empty as a pin addition sees it: one row whose N° is empty.
    bool isEmptyForAdd() const;

private:
    // Fields 1..6 of a row.
    struct Row {
        Content fields;
        CompactText &operator[](int f) { return fields[static_cast<size_t>(f - 1)]; }
        const CompactText &operator[](int f) const { return fields[static_cast<size_t>(f - 1)]; }
    };

    RowId nextId_ = 1;  // before ids_: the constructor takes the first one
    std::vector<int> numbers_;
    std::vector<Row> rows_;
    std::vector<RowId> ids_;
    // Long texts a file read puts in, when the table was made for many rows.
    TextArena texts_;
    bool textsTogether_ = false;
};

// The contiguous range of selected rows, top <= bottom.
struct RowRange {
    int top = 1;
    int bottom = 1;
    int count() const { return bottom - top + 1; }
};

// Last clicked cell, current row and context POI, kept by the grid's mouse handling.
struct ClickState {
    int lastCol = 0;
    int lastRow = 0;
    int currentRow = 0;
    QString contextLatitude;
    QString contextLongitude;
    QString contextDescription;
};

}  // namespace orvalis
