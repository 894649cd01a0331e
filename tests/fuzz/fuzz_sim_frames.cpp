// The simulated radio's frame parser and model on arbitrary line bytes, cut into arbitrary
// pieces. Invariants:
//   - the parser finds the same frames however the bytes are cut;
//   - a parsed frame's header and data hold no FE or FD, and it fits kMaxFrameLength;
//   - the model logs every frame and answers only with whole frames from its own address;
//     nothing throws;
//   - its state stays in range (selected memory 1..107, frequencies within the five BCD bytes),
//     and its memories survive the memories file: format, parse, load into a fresh model.

#include "sim/MemoryFile.h"
#include "sim/RadioModel.h"
#include "sim/SimFrame.h"
#include "tests/fuzz/FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace memvane::sim;
using namespace memvane::fuzz;

namespace {

bool special(uint8_t b)
{
    return b == kPreamble || b == kEndOfMessage;
}

void checkFrame(const Frame& f)
{
    FUZZ_CHECK(!special(f.to) && !special(f.from) && !special(f.command));
    for (char c : f.data)
        FUZZ_CHECK(!special(static_cast<uint8_t>(c)));
    FUZZ_CHECK(5 + f.data.size() <= FrameParser::kMaxFrameLength);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    static const uint8_t kAddresses[] = {0x58, 0x48, 0x4E, 0x00};
    RadioModel model(fdp.PickValueInArray(kAddresses));
    model.setTransceive(fdp.ConsumeBool());
    if (fdp.ConsumeBool())
        model.addRefusal({fdp.ConsumeBytesAsString(fdp.ConsumeIntegralInRange<size_t>(0, 2)),
                          fdp.ConsumeIntegralInRange<int>(0, 3),
                          fdp.ConsumeIntegralInRange<int>(-1, 3)});
    std::vector<std::string> pieces;
    while (fdp.remaining_bytes() > 0)
        pieces.push_back(fdp.ConsumeRandomLengthString(64));

    FrameParser whole, cut, replies;
    std::string all;
    std::vector<Frame> cutFrames;
    for (const std::string& piece : pieces) {
        all += piece;
        for (Frame& f : cut.feed(piece))
            cutFrames.push_back(std::move(f));

        std::string out = model.receive(piece);
        std::vector<Frame> answered = replies.feed(out);
        FUZZ_CHECK(replies.pending() == 0);
        std::string rebuilt;
        for (const Frame& r : answered) {
            checkFrame(r);
            rebuilt += r.bytes();
            FUZZ_CHECK(r.from == model.address());
        }
        FUZZ_CHECK(rebuilt == out);

        FUZZ_CHECK(model.selectedMemory() >= kFirstMemory && model.selectedMemory() <= kLastMemory);
        FUZZ_CHECK(model.vfo(Vfo::A).hz <= kMaxHz && model.vfo(Vfo::B).hz <= kMaxHz);
        if (auto op = model.operating()) {
            FUZZ_CHECK(op->hz <= kMaxHz && validMode(op->mode) && validFilter(op->filter));
        }
        FUZZ_CHECK(model.offsetHz() <= kMaxOffsetHz);
    }

    const std::vector<Frame> wholeFrames = whole.feed(all);
    FUZZ_CHECK(wholeFrames == cutFrames);
    FUZZ_CHECK(whole.pending() == cut.pending());
    for (const Frame& f : wholeFrames)
        checkFrame(f);
    FUZZ_CHECK(model.frameLog().size() == wholeFrames.size());
    for (size_t i = 0; i < wholeFrames.size(); ++i)
        FUZZ_CHECK(model.frameLog()[i] == toHex(wholeFrames[i].bytes()));

    const MemoryMap memories = memoriesOf(model);
    const std::string text = formatMemories(memories);
    const MemoryMap parsed = parseMemories(text, "memories");
    FUZZ_CHECK(parsed == memories);
    RadioModel fresh;
    loadInto(fresh, parsed);
    FUZZ_CHECK(memoriesOf(fresh) == memories);
    return 0;
}
