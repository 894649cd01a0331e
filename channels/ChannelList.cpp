#include "channels/ChannelList.h"

#include "core/Errors.h"

namespace memvane {

const std::string& ChannelList::text(size_t index, int column) const
{
    const ChannelRow& r = m_rows.at(index);
    long sub = column - 1;
    if (sub < 0 || static_cast<size_t>(sub) >= r.texts.size())
        throw EListError(sub);
    return r.texts[static_cast<size_t>(sub)];
}

void ChannelList::clear()
{
    m_rows.clear();
    if (m_listener)
        m_listener->rowsReset();
}

void ChannelList::replaceAll(std::vector<ChannelRow> rows)
{
    m_rows = std::move(rows);
    if (m_listener)
        m_listener->rowsReset();
}

void ChannelList::append(ChannelRow row)
{
    m_rows.push_back(std::move(row));
    if (m_listener)
        m_listener->rowsAppended(m_rows.size() - 1, 1);
}

void ChannelList::setWrite(size_t index, bool write)
{
    ChannelRow& r = m_rows.at(index);
    if (r.write == write)
        return;
    r.write = write;
    if (m_listener)
        m_listener->rowChanged(index);
}

void ChannelList::setAllWrite(bool write)
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        setWrite(i, write);
}

void ChannelList::setText(size_t index, int column, std::string text)
{
    ChannelRow& r = m_rows.at(index);
    size_t sub = static_cast<size_t>(column - 1);
    if (r.texts.size() <= sub)
        r.texts.resize(sub + 1);
    r.texts[sub] = std::move(text);
    if (m_listener)
        m_listener->rowChanged(index);
}

void ChannelList::setRow(size_t index, ChannelRow row)
{
    m_rows.at(index) = std::move(row);
    if (m_listener)
        m_listener->rowChanged(index);
}

} // namespace memvane
