// The transceive monitor on arbitrary line bytes, including reads that fail part-way. Invariants:
//   - it never throws and never reads more than its two passes allow;
//   - Memo3's text is rxfreq, CR LF, rxmode, two blanks, rxfilter;
//   - rxmode and rxfilter are names from the tables or what they were before;
//   - rxfreq is the decoding of the first frequency broadcast in what was read, or unchanged.

#include "civ/Codec.h"
#include "civ/Transceive.h"
#include "core/ProgramState.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>
#include <stdexcept>

using namespace memvane;
using namespace memvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const size_t failAt = fdp.ConsumeIntegralInRange<size_t>(0, 4096);
    const size_t silenceAt = fdp.ConsumeIntegralInRange<size_t>(0, 4096);
    const std::string bytes = fdp.ConsumeRemainingBytesAsString();

    ProgramState state;
    state.fillNameTables();
    state.rxfreq = "previous freq";
    state.rxmode = "previous mode";
    state.rxfilter = "previous filter";

    size_t next = 0, calls = 0, sleeps = 0;
    std::string read;
    auto readOneByte = [&]() -> std::string {
        ++calls;
        if (calls == failAt)
            throw std::runtime_error("read failed");
        // One empty read in the middle: the first pass ends there, the second goes on.
        if (calls == silenceAt || next >= bytes.size())
            return {};
        read += bytes[next];
        return std::string(1, bytes[next++]);
    };
    auto sleepMs = [&](int ms) {
        FUZZ_CHECK(ms == 1);
        ++sleeps;
    };

    std::string memo = ComPort1RxCharLogic(state, readOneByte, sleepMs);

    FUZZ_CHECK(calls <= 2 * static_cast<size_t>(TransceiveMaxBytesPerPass));
    FUZZ_CHECK(sleeps == calls);
    FUZZ_CHECK(memo == state.rxfreq + "\r\n" + state.rxmode + "  " + state.rxfilter);
    FUZZ_CHECK(state.rxmode == "previous mode" ||
               std::find(state.modenames.begin(), state.modenames.end(), state.rxmode) !=
                   state.modenames.end());
    FUZZ_CHECK(state.rxfilter == "previous filter" ||
               std::find(state.filternames.begin() + 1, state.filternames.end(), state.rxfilter) !=
                   state.filternames.end());

    const std::string hex = toHexText(read);
    const size_t at = hex.find("FEFE005800");
    if (at == std::string::npos) {
        FUZZ_CHECK(state.rxfreq == "previous freq");
    } else {
        size_t end = hex.find("FD", at + 10);
        std::string payload = end == std::string::npos ? "" : hex.substr(at + 10, end - at - 10);
        FUZZ_CHECK(state.rxfreq == decodeFrequency(payload));
    }
    return 0;
}
