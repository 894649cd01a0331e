// memvane-radio's memories file on arbitrary text. Invariants: a file is either taken whole or
// refused with MemoryFileError naming the line; what was taken formats to a file that parses to
// the same memories and formats to the same text again; loading it into a model and reading the
// memories back changes nothing.

#include "sim/MemoryFile.h"
#include "sim/RadioModel.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace memvane::sim;
using namespace memvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(asText(data, size));
    MemoryMap memories;
    try {
        memories = parseMemories(text, "memories.txt");
    } catch (const MemoryFileError& e) {
        FUZZ_CHECK(std::string(e.what()).rfind("memories.txt:", 0) == 0);
        return 0;
    }
    for (const auto& [loc, m] : memories) {
        FUZZ_CHECK(loc >= kFirstMemory && loc <= kLastMemory);
        FUZZ_CHECK(m.receive.hz <= kMaxHz && m.transmit.hz <= kMaxHz);
        FUZZ_CHECK(m.offsetHz <= kMaxOffsetHz && m.offsetHz % 100 == 0);
    }
    const std::string formatted = formatMemories(memories);
    const MemoryMap again = parseMemories(formatted, "formatted");
    FUZZ_CHECK(again == memories);
    FUZZ_CHECK(formatMemories(again) == formatted);

    RadioModel model;
    loadInto(model, memories);
    FUZZ_CHECK(memoriesOf(model) == memories);
    return 0;
}
