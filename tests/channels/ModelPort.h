#pragma once
// A PortIo that puts the simulated radio's model in-process: every frame written comes back as
// its echo followed at once by the model's answer. Fast and deterministic; the pty tests cover
// the real line.

#include "civ/PortIo.h"
#include "sim/RadioModel.h"

#include <algorithm>
#include <string>

namespace memvane::test {

class ModelPort : public PortIo
{
public:
    explicit ModelPort(sim::RadioModel& model) : m_model(model) {}

    void ensureOpen() override {}
    void clearBuffers() override { m_queue.clear(); }
    int write(const std::string& bytes) override
    {
        m_queue += bytes;
        m_queue += m_model.receive(bytes);
        return static_cast<int>(bytes.size());
    }
    std::string read(int maxCount) override
    {
        size_t n = std::min(m_queue.size(), static_cast<size_t>(maxCount));
        std::string out = m_queue.substr(0, n);
        m_queue.erase(0, n);
        return out;
    }
    void sleepMs(int) override {}

private:
    sim::RadioModel& m_model;
    std::string m_queue;
};

} // namespace memvane::test
