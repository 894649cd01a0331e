#pragma once
// Qt item model over the channel store (channels/ChannelList.h) for ListView1. The store tells
// the model about changes after they happened, so the model keeps its own row count and moves it
// forward inside the begin/end notifications Qt's views expect. Column 0 holds only the row's
// check box (the write flag); columns 1..9 show the row's texts, decoded at this boundary.
// Checking a box from the view writes the flag back into the store. GUI thread only.

#include "channels/ChannelList.h"

#include <QAbstractTableModel>

namespace memvane {

// How a column of ListView1 looks: caption, width with its limits, alignment of its texts.
struct ChannelColumnLayout
{
    const char* caption;
    int width;
    int minWidth;
    int maxWidth;
    Qt::Alignment alignment;
};

class ChannelListModel : public QAbstractTableModel, private ChannelListListener
{
    Q_OBJECT
public:
    static constexpr int kColumnCount = 10;
    static const ChannelColumnLayout& column(int index);

    explicit ChannelListModel(ChannelList& list, QObject* parent = nullptr);
    ~ChannelListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void rowsReset() override;
    void rowsAppended(size_t first, size_t count) override;
    void rowChanged(size_t index) override;

    ChannelList& m_list;
    int m_rows = 0; // rows the views know about
};

} // namespace memvane
