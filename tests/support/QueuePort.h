#pragma once
// The shared part of the in-process lines: what the radio side answers waits in a queue that a
// purge empties and reads take from the front of; waits take no time. A subclass's write puts
// the echo and the answer into m_queue.

#include "civ/PortIo.h"

#include <algorithm>
#include <string>

namespace memvane::test {

class QueuePort : public PortIo
{
public:
    void ensureOpen() override {}
    void clearBuffers() override { m_queue.clear(); }
    std::string read(int maxCount) override
    {
        size_t n = std::min(m_queue.size(), static_cast<size_t>(maxCount));
        std::string out = m_queue.substr(0, n);
        m_queue.erase(0, n);
        return out;
    }
    void sleepMs(int) override {}

protected:
    std::string m_queue;
};

} // namespace memvane::test
