#pragma once

#include "table/poi_document.h"

#include <QAbstractTableModel>
#include <QColor>

namespace orvalis {

// Qt model over the document's table: model row r-1 is table row r, the titles
// are the horizontal header. It forwards the document's changes as they are
// (rows removed or added, rows changed, rows rearranged in place), so a view
// keeps its selection; only a new table resets it.
class PoiTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PoiTableModel(PoiDocument &document, QObject *parent = nullptr);

    static QStringList titles();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const PoiTable &table() const { return table_; }

    void rowsChanged(int firstRow, int lastRow);

    void setEditable(bool editable) { editable_ = editable; }
    bool editable() const { return editable_; }
    void setFixedColor(const QColor &color);
    QColor fixedColor() const { return fixed_; }
    void setBusy(bool busy);
    bool busy() const { return busy_; }

private:
    PoiDocument &document_;
    const PoiTable &table_;
    bool editable_ = false;
    bool busy_ = false;
    QColor fixed_{Qt::yellow};
};

}  // namespace orvalis
