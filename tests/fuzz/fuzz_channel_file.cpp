// The channel file loader ("Read from File Name ^") and the save after it, on arbitrary file
// contents. Invariants:
//   - a load either replaces the list with the parsed rows or fails with EConvertError /
//     EInOutError and leaves the list exactly as it was;
//   - the loaded rows saved through "Save to File" and loaded again are the same rows, and a
//     second save writes the same bytes (loading normalises only the frequency fields);
//   - the in-memory parser and the loader agree.

#include "channels/ChannelList.h"
#include "core/Errors.h"
#include "core/ProgramState.h"
#include "files/ChannelFile.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace memvane;
using namespace memvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view contents = asText(data, size);
    const ScratchDir& dir = ScratchDir::get();

    std::optional<std::vector<ChannelRow>> parsed;
    try {
        parsed = parseChannelFile(withoutBom(contents));
    } catch (const EConvertError& e) {
        FUZZ_CHECK(std::string(e.what()).find("is not a valid floating point value") !=
                   std::string::npos);
    }

    ProgramState state;
    state.exedir = dir.folder();
    state.basename = "channels.txt";
    writeFile(dir.file(state.basename), contents);

    const ChannelRow sentinel{true, {"Mem 1", "0145.500000", "0145.500000", "FM"}};
    ChannelList list;
    list.append(sentinel);
    RecordingUi ui;
    bool loaded = false;
    try {
        loadChannelFile(list, state, ui);
        loaded = true;
    } catch (const EConvertError&) {
        FUZZ_CHECK(!parsed);
    } catch (const EInOutError&) {
        // Only a file that is not text at all is refused before parsing.
        FUZZ_CHECK(contents.find('\0') != std::string_view::npos);
    }
    if (!loaded) {
        FUZZ_CHECK(list.size() == 1 && list.row(0) == sentinel);
        return 0;
    }
    FUZZ_CHECK(parsed && list.rows() == *parsed);

    // Save, load the saved file, save again.
    ui.savePath = dir.file("saved.txt");
    saveChannelFile(list, state, ui);
    const std::string saved = readFile(*ui.savePath);
    FUZZ_CHECK(saved == formatChannelFile(list.rows()));

    ChannelList again;
    state.basename = "saved.txt";
    loadChannelFile(again, state, ui);
    FUZZ_CHECK(again.rows() == list.rows());
    saveChannelFile(again, state, ui);
    FUZZ_CHECK(readFile(*ui.savePath) == saved);
    return 0;
}
