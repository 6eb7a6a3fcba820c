#include "XMLParamModel.h"

#include "DocumentText.h"

void TXMLParamModel::SetRows(std::vector<TRow> rows)
{
    beginResetModel();
    FRows = std::move(rows);
    endResetModel();
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
