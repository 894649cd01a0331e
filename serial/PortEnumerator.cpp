#include "serial/PortEnumerator.h"

#include <algorithm>

namespace memvane {

namespace {

// Bytes compare unsigned, so names with non-ASCII bytes sort after the ASCII ones.
unsigned char lowerAscii(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

PortLister& portLister()
{
    static PortLister lister;
    return lister;
}

} // namespace

void SortPortNames(std::vector<std::string>& names)
{
    auto noCase = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [](unsigned char x, unsigned char y) { return lowerAscii(x) < lowerAscii(y); });
    };
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        if (noCase(a, b))
            return true;
        // Equal but for letter case: a fixed order keeps the result the same on every run.
        return !noCase(b, a) && a < b;
    });
    names.erase(std::unique(names.begin(), names.end()), names.end());
}

std::vector<std::string> ListSerialPorts()
{
    if (portLister())
        return portLister()();
    return SystemSerialPorts();
}

PortLister SetPortLister(PortLister lister)
{
    PortLister previous = std::move(portLister());
    portLister() = std::move(lister);
    return previous;
}

} // namespace memvane
