#pragma once

#include "table/poi_table.h"

#include <QAbstractTableModel>
#include <QColor>

namespace orvalis {

// Qt model over the table store: model row r-1 is table row r, the titles are
// the horizontal header. Commands change the store directly and then call
// tableReset() or rowsChanged() so the view follows.
class PoiTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PoiTableModel(PoiTable &table, QObject *parent = nullptr);

    static QStringList titles();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    PoiTable &table() { return table_; }

    void tableReset();
    void rowsChanged(int firstRow, int lastRow);

    void setEditable(bool editable) { editable_ = editable; }
    bool editable() const { return editable_; }
    void setFixedColor(const QColor &color);
    QColor fixedColor() const { return fixed_; }
    void setBusy(bool busy);
    bool busy() const { return busy_; }

signals:
    // A cell was changed by the in-place editor.
    void cellEdited(int row, int field);

private:
    PoiTable &table_;
    bool editable_ = false;
    bool busy_ = false;
    QColor fixed_{Qt::yellow};
};

}  // namespace orvalis
