#pragma once

#include <QAbstractTableModel>

#include <functional>
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
        int entry; // the parameter entry the row shows
    };

    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<TRow> rows);
    const TRow& Row(int row) const { return FRows[static_cast<size_t>(row)]; }
    // Changes one row's texts; the rows stay as they are otherwise.
    void SetRow(int row, std::string name, std::string value);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An in-place edit of a row's caption goes to OnRename, which changes the entry.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Whether the captions may be edited in place.
    bool Editable = false;
    std::function<void(int row, const QString& text)> OnRename;

private:
    std::vector<TRow> FRows;
};
