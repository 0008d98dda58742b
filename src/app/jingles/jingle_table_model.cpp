#include "jingle_table_model.h"

namespace tavrela {

int JingleTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int JingleTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JingleTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) {
        return {};
    }
    const JingleRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case NomeColumn:
        return row.nome;
    case TempoColumn:
        return row.tempo;
    default:
        return {};
    }
}

QVariant JingleTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        // The row indicator draws a mark, not a number.
        return QString();
    }
    switch (section) {
    case NomeColumn:
        return QStringLiteral("Nome");
    case TempoColumn:
        return QStringLiteral("Tempo");
    default:
        return {};
    }
}

void JingleTableModel::setRows(std::vector<JingleRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void JingleTableModel::clear() {
    if (rows_.empty()) {
        return;
    }
    setRows({});
}

} // namespace tavrela
