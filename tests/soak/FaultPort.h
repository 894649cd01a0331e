#pragma once
// The simulated radio's model in-process behind a line that fails at random, for the soak: fast
// and exactly reproducible from a seed. Each exchange (one frame written) gets a fault with the
// chosen probability:
//   Silent     the radio is off for this frame: the echo only, nothing carried out
//   Refuse     the radio answers NG and does nothing; a memory selection (08 hh ll) is still
//              made, since that is what the radio's NG to a selection means
//   Late       the radio carries the command out, but its answer arrives only while the next
//              exchange waits (after that exchange has emptied the buffers)
//   Noise      line noise before the answer; the answer itself is intact
//   NoiseOnly  the radio carries the command out, line noise replaces its answer
// The exchange right after a late one gets no fault of its own: the radio's stale answer lands in
// it, and a second fault there would make what the program can know ambiguous.
//
// Every exchange is recorded with the program's location label at the time, the unit of work it
// belongs to (the count of event-processing calls so far: one per channel or row), whether the
// radio refused it (injected or by itself, as for a blank memory) and which memory a memory
// write it carried out went into.

#include "civ/Codec.h"
#include "core/ProgramState.h"
#include "sim/PtyRadio.h"
#include "sim/RadioModel.h"
#include "tests/support/QueuePort.h"

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace memvane::test {

enum class Fault { None, Silent, Refuse, Late, Noise, NoiseOnly };

inline const char* faultName(Fault f)
{
    switch (f) {
    case Fault::None:
        return "none";
    case Fault::Silent:
        return "silent";
    case Fault::Refuse:
        return "refuse";
    case Fault::Late:
        return "late";
    case Fault::Noise:
        return "noise";
    case Fault::NoiseOnly:
        return "noise-only";
    }
    return "?";
}

struct ExchangeRecord
{
    std::string frame; // hex text, as the error lines show it
    Fault fault = Fault::None;
    bool refused = false; // the answer the program got was NG
    std::string memloc;   // the program's location label when it was sent
    int unit = 0;         // event-processing calls of the operation before it
    std::optional<int> storedInto;
};

class FaultPort : public QueuePort
{
public:
    FaultPort(sim::RadioModel& radio, const ProgramState& state, std::mt19937_64& rng)
        : m_radio(radio), m_state(state), m_rng(rng)
    {
    }

    void setFaultRate(double rate) { m_rate = rate; }
    void setUnit(int unit) { m_unit = unit; }
    // A new operation: forget the records (a stale late answer stays on its way).
    void startOperation()
    {
        records.clear();
        m_unit = 0;
    }

    std::vector<ExchangeRecord> records;

    int write(const std::string& bytes) override
    {
        ExchangeRecord r;
        r.frame = toHexText(bytes);
        r.memloc = m_state.memloc;
        r.unit = m_unit;
        r.fault = m_afterLate ? Fault::None : pick();
        m_afterLate = false;

        m_queue = bytes; // the shared line's echo
        m_queue += m_stale;
        m_stale.clear();
        switch (r.fault) {
        case Fault::None:
            m_queue += execute(bytes, r);
            break;
        case Fault::Noise:
            m_queue += sim::PtyRadio::kGarbage + execute(bytes, r);
            break;
        case Fault::NoiseOnly:
            execute(bytes, r);
            r.refused = false; // whatever it said never arrived
            m_queue += sim::PtyRadio::kGarbage;
            break;
        case Fault::Silent:
            break;
        case Fault::Refuse:
            if (isMemorySelection(bytes))
                execute(bytes, r);
            m_queue += ng();
            r.refused = true;
            break;
        case Fault::Late:
            m_stale = execute(bytes, r);
            r.refused = false;
            m_afterLate = true;
            break;
        }
        records.push_back(r);
        return static_cast<int>(bytes.size());
    }

private:
    Fault pick()
    {
        if (std::uniform_real_distribution<double>(0, 1)(m_rng) >= m_rate)
            return Fault::None;
        static constexpr Fault kinds[] = {Fault::Refuse, Fault::Refuse, Fault::Silent,
                                          Fault::Late,   Fault::Noise,  Fault::NoiseOnly};
        return kinds[std::uniform_int_distribution<size_t>(0, std::size(kinds) - 1)(m_rng)];
    }

    std::string execute(const std::string& bytes, ExchangeRecord& r)
    {
        const int selected = m_radio.selectedMemory();
        const auto writes = m_radio.memoryWrites();
        std::string answer = m_radio.receive(bytes);
        if (m_radio.memoryWrites() != writes)
            r.storedInto = selected;
        r.refused = answer.find(ng()) != std::string::npos;
        return answer;
    }

    static bool isMemorySelection(const std::string& bytes)
    {
        return bytes.size() > 6 && static_cast<unsigned char>(bytes[4]) == 0x08;
    }

    std::string ng() const
    {
        return std::string("\xFE\xFE\xE0", 3) + static_cast<char>(m_radio.address()) + "\xFA\xFD";
    }

    sim::RadioModel& m_radio;
    const ProgramState& m_state;
    std::mt19937_64& m_rng;
    double m_rate = 0;
    int m_unit = 0;
    std::string m_stale;
    bool m_afterLate = false;
};

} // namespace memvane::test
