#pragma once
// The innings grid's model over the sheet: column 0 "Reprise" (row + 1, read-only),
// columns 1 and 2 the fields Pts1 and Pts2, edited in place. An edit goes through the
// table (move, edit, set or clear, post), so the backup and the statistics follow.
#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "InningsTable.h"

class InningsGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `guard` runs a table operation and reports its AppError to the operator; the model
    // never lets an exception out into Qt.
    using Guard = std::function<void(const std::function<void()> &)>;
    InningsGridModel(InningsTable &table, Guard guard, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // An empty text makes the field null; a text that is not an integer raises the
    // conversion message through the guard and changes nothing.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    InningsTable &m_table;
    Guard m_guard;
    // What the views were last told, kept in step with the table's row signals, so rows
    // and counts change exactly between the begin and end notifications.
    std::vector<InningRow> m_rows;
};
