#include "core/ProgramState.h"

namespace memvane {

void ProgramState::fillNameTables()
{
    modenames = {"LSB", "USB", "AM", "CW", "RTTY", "FM", "Wide FM", "", ""};
    filternames = {"", "Normal", "Narrow", "Wide", "", "", "", ""};
    splitnames = {};
    splitnames[0] = "Split Off";
    splitnames[1] = "Split On";
    splitnames[10] = "Duplex Off";
    splitnames[11] = "Duplex --";
    splitnames[12] = "Duplex +";
}

namespace {
template <size_t N>
std::string lookup(const std::array<std::string, N>& table, int index, int first)
{
    if (index < first || index >= static_cast<int>(N))
        return {};
    return table[static_cast<size_t>(index)];
}
} // namespace

std::string ProgramState::modeName(int index) const { return lookup(modenames, index, 0); }
std::string ProgramState::filterName(int index) const { return lookup(filternames, index, 1); }
std::string ProgramState::splitName(int index) const { return lookup(splitnames, index, 0); }

} // namespace memvane
