#pragma once
// A PortIo that puts the simulated radio's model in-process: every frame written comes back as
// its echo followed at once by the model's answer. Fast and deterministic; the pty tests cover
// the real line.

#include "sim/RadioModel.h"
#include "tests/support/QueuePort.h"

#include <string>

namespace memvane::test {

class ModelPort : public QueuePort
{
public:
    explicit ModelPort(sim::RadioModel& model) : m_model(model) {}

    int write(const std::string& bytes) override
    {
        m_queue += bytes;
        m_queue += m_model.receive(bytes);
        return static_cast<int>(bytes.size());
    }

private:
    sim::RadioModel& m_model;
};

} // namespace memvane::test
