#include "app/ChannelListModel.h"

#include "app/TextCodec.h"

#include <array>

namespace memvane {

namespace {
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignVCenter;

const std::array<ChannelColumnLayout, ChannelListModel::kColumnCount> kColumns = {{
    {"Write", 40, 10, 80, kLeft},
    {"Mem Loc", 55, 10, 100, kLeft},
    {"Freq VFO A", 80, 10, 100, kRight},
    {"Freq VFO B", 80, 20, 100, kRight},
    {"Mode", 80, 10, 80, kCentre},
    {"filter", 80, 10, 100, kCentre},
    {"Duplex / Split", 75, 50, 100, kLeft},
    {"Comment", 165, 50, 200, kLeft},
    {"offset", 0, 0, 0, kLeft},
    {"item", 0, 0, 0, kLeft},
}};
} // namespace

const ChannelColumnLayout& ChannelListModel::column(int index)
{
    return kColumns.at(static_cast<size_t>(index));
}

ChannelListModel::ChannelListModel(ChannelList& list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_rows(static_cast<int>(list.size()))
{
    m_list.setListener(this);
}

ChannelListModel::~ChannelListModel()
{
    m_list.setListener(nullptr);
}

int ChannelListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ChannelListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ChannelListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows ||
        static_cast<size_t>(index.row()) >= m_list.size())
        return {};
    const ChannelRow& row = m_list.row(static_cast<size_t>(index.row()));
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        if (col == 0)
            return {};
        size_t sub = static_cast<size_t>(col - 1);
        if (sub >= row.texts.size())
            return QString();
        return decodeText(row.texts[sub]);
    }
    case Qt::AccessibleTextRole:
        // The box column has no text: a screen reader names the box by its row's location.
        if (col == 0 && !row.texts.empty())
            return decodeText(row.texts[0]);
        return {};
    case Qt::CheckStateRole:
        if (col == 0)
            return row.write ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(kColumns[static_cast<size_t>(col)].alignment);
    default:
        return {};
    }
}

bool ChannelListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole ||
        static_cast<size_t>(index.row()) >= m_list.size())
        return false;
    m_list.setWrite(static_cast<size_t>(index.row()),
                    value.toInt() == static_cast<int>(Qt::Checked));
    return true;
}

QVariant ChannelListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kColumns[static_cast<size_t>(section)].caption);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumns[static_cast<size_t>(section)].alignment);
    return {};
}

Qt::ItemFlags ChannelListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void ChannelListModel::rowsReset()
{
    beginResetModel();
    m_rows = static_cast<int>(m_list.size());
    endResetModel();
}

void ChannelListModel::rowsAppended(size_t first, size_t count)
{
    if (count == 0)
        return;
    if (first != static_cast<size_t>(m_rows) || first + count != m_list.size()) {
        rowsReset(); // out of step with the store: start over rather than guess
        return;
    }
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(first + count - 1));
    m_rows += static_cast<int>(count);
    endInsertRows();
}

void ChannelListModel::rowChanged(size_t index)
{
    if (index >= static_cast<size_t>(m_rows))
        return;
    Q_EMIT dataChanged(this->index(static_cast<int>(index), 0),
                       this->index(static_cast<int>(index), kColumnCount - 1));
}

} // namespace memvane
