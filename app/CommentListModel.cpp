#include "app/CommentListModel.h"

#include "app/TextCodec.h"

namespace memvane {

namespace {
const char* const kCaptions[CommentListModel::kColumnCount] = {"", "Freq VFO B", "Comment"};
constexpr Qt::Alignment kAlign[CommentListModel::kColumnCount] = {Qt::AlignLeft | Qt::AlignVCenter,
                                                                  Qt::AlignRight | Qt::AlignVCenter,
                                                                  Qt::AlignLeft | Qt::AlignVCenter};
} // namespace

CommentListModel::CommentListModel(CommentList& comments, QObject* parent)
    : QAbstractTableModel(parent), m_comments(comments),
      m_rows(static_cast<int>(comments.entries().size()))
{
    m_comments.setOnChanged([this] { entriesReplaced(); });
}

CommentListModel::~CommentListModel()
{
    m_comments.setOnChanged({});
}

int CommentListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int CommentListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CommentListModel::data(const QModelIndex& index, int role) const
{
    const auto& entries = m_comments.entries();
    if (!index.isValid() || index.row() >= m_rows ||
        static_cast<size_t>(index.row()) >= entries.size())
        return {};
    const CommentEntry& entry = entries[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case 1:
            return decodeText(entry.freq);
        case 2:
            return decodeText(entry.comment);
        default:
            return QString();
        }
    }
    // The first column is always empty: a screen reader names its cells by the frequency.
    if (role == Qt::AccessibleTextRole && index.column() == 0)
        return decodeText(entry.freq);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kAlign[index.column()]);
    return {};
}

QVariant CommentListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kCaptions[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kAlign[section]);
    return {};
}

void CommentListModel::entriesReplaced()
{
    beginResetModel();
    m_rows = static_cast<int>(m_comments.entries().size());
    endResetModel();
}

} // namespace memvane
