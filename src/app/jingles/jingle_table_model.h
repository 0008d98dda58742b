#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>

#include <vector>

namespace tavrela {

/// One row of the jingle table, string columns already stripped of their CHAR padding.
struct JingleRow {
    int codigo = 0;
    QString nome;
    QString tempo;
    QString tipo;
    QString arquivo;
    QVariant segundos;

    bool operator==(const JingleRow&) const = default;
};

/// The rows of the last jingle query as the grid shows them: "Nome" and "Tempo".
class JingleTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NomeColumn, TempoColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void setRows(std::vector<JingleRow> rows);
    void clear();
    const std::vector<JingleRow>& rows() const { return rows_; }

private:
    std::vector<JingleRow> rows_;
};

} // namespace tavrela
