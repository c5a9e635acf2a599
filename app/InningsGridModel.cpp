#include "InningsGridModel.h"

#include "AppError.h"
#include "IntConv.h"

#include <QDebug>
#include <optional>

namespace {
constexpr int ColReprise = 0;
constexpr int ColCount = 3;

int fieldOf(int column)
{
    return column == 1 ? InningsTable::Pts1 : InningsTable::Pts2;
}
} // namespace

InningsGridModel::InningsGridModel(InningsTable &table, Guard guard, QObject *parent)
    : QAbstractTableModel(parent), m_table(table), m_guard(std::move(guard)), m_rows(table.rows())
{
    const auto resync = [this] {
        beginResetModel();
        m_rows = m_table.rows();
        endResetModel();
    };
    connect(&m_table, &InningsTable::rowsReset, this, resync);
    connect(&m_table, &InningsTable::rowInserted, this, [this, resync](int index) {
        const auto &rows = m_table.rows();
        if (index < 0 || index > int(m_rows.size()) || std::size_t(index) >= rows.size()
            || rows.size() != m_rows.size() + 1) {
            resync();
            return;
        }
        beginInsertRows({}, index, index);
        m_rows.insert(m_rows.begin() + index, rows[std::size_t(index)]);
        endInsertRows();
    });
    connect(&m_table, &InningsTable::rowRemoved, this, [this, resync](int index) {
        if (index < 0 || index >= int(m_rows.size()) || m_table.rows().size() + 1 != m_rows.size()) {
            resync();
            return;
        }
        beginRemoveRows({}, index, index);
        m_rows.erase(m_rows.begin() + index);
        endRemoveRows();
    });
    connect(&m_table, &InningsTable::rowChanged, this, [this, resync](int index) {
        const auto &rows = m_table.rows();
        if (index < 0 || index >= int(m_rows.size()) || rows.size() != m_rows.size()) {
            resync();
            return;
        }
        m_rows[std::size_t(index)] = rows[std::size_t(index)];
        emit dataChanged(this->index(index, 1), this->index(index, ColCount - 1));
    });
}

int InningsGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int InningsGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColCount;
}

QVariant InningsGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= m_rows.size() || index.column() >= ColCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (index.column() == ColReprise)
        return QString::number(index.row() + 1);
    // Text for both roles: the editor is then a line edit, where an empty text means null.
    const std::optional<qint32> &v = m_rows[std::size_t(index.row())].pts[fieldOf(index.column())];
    return v ? QString::number(*v) : QString();
}

QVariant InningsGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        switch (section) {
        case 0: return QStringLiteral("Reprise");
        case 1: return QStringLiteral("Pts1");
        case 2: return QStringLiteral("Pts2");
        default: return {};
        }
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags InningsGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() != ColReprise)
        f |= Qt::ItemIsEditable;
    return f;
}

bool InningsGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() == ColReprise
        || index.column() >= ColCount || std::size_t(index.row()) >= m_rows.size())
        return false;
    const int row = index.row();
    const int field = fieldOf(index.column());
    const QString text = value.toString().trimmed();

    bool applied = false;
    const auto apply = [&] {
        std::optional<qint32> newValue;
        if (!text.isEmpty())
            newValue = strToInt(text); // throws the conversion message; nothing changed yet
        const auto &rows = m_table.rows();
        // Closing an editor without a change posts nothing, so no needless backup.
        if (std::size_t(row) < rows.size() && rows[std::size_t(row)].pts[field] == newValue) {
            applied = true;
            return;
        }
        m_table.moveTo(row + 1);
        m_table.edit();
        if (newValue)
            m_table.setField(field, *newValue);
        else
            m_table.clearField(field);
        m_table.post(); // the after-post hook saves the backup and refreshes the statistics
        applied = true;
    };

    if (m_guard) {
        m_guard(apply);
    } else {
        // No guard given: still never let an exception into Qt's event loop.
        try {
            apply();
        } catch (const AppError &e) {
            qWarning().noquote() << e.message();
        }
    }
    return applied;
}
