#include "XMLParamModel.h"

#include "DocumentText.h"

void TXMLParamModel::SetRows(std::vector<TRow> rows)
{
    beginResetModel();
    FRows = std::move(rows);
    endResetModel();
}

void TXMLParamModel::SetRow(int row, std::string name, std::string value)
{
    TRow& target = FRows[static_cast<size_t>(row)];
    target.name = std::move(name);
    target.value = std::move(value);
    emit dataChanged(index(row, 0), index(row, 1));
}

int TXMLParamModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TXMLParamModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant TXMLParamModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const TRow& row = FRows[static_cast<size_t>(index.row())];
    return FromDocumentText(index.column() == 0 ? row.name : row.value);
}

QVariant TXMLParamModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? QStringLiteral("Name") : QStringLiteral("Value");
}

Qt::ItemFlags TXMLParamModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0 && Editable)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TXMLParamModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::EditRole || !OnRename)
        return false;
    OnRename(index.row(), value.toString());
    return true;
}
