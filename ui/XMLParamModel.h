#pragma once

#include <QAbstractTableModel>

#include <string>
#include <vector>

// The list view's rows: a copy of the shown parameter entries, so the list never reads
// an item that a reload may have destroyed. Columns "Name" and "Value".
class TXMLParamModel : public QAbstractTableModel {
    Q_OBJECT

public:
    struct TRow {
        std::string name;
        std::string value;
    };

    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<TRow> rows);
    const TRow& Row(int row) const { return FRows[static_cast<size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<TRow> FRows;
};
