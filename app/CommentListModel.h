#pragma once
// Qt item model over the comment list (files/CommentList.h) for ListView2: an always empty first
// column, then "Freq VFO B" and "Comment". The comment list is replaced as a whole by each
// reload, so the model resets whenever the list reports a change. GUI thread only.

#include "files/CommentList.h"

#include <QAbstractTableModel>

namespace memvane {

class CommentListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kColumnCount = 3;

    explicit CommentListModel(CommentList& comments, QObject* parent = nullptr);
    ~CommentListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void entriesReplaced();

    CommentList& m_comments;
    int m_rows = 0;
};

} // namespace memvane
