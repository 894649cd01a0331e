#pragma once
// Whole files as bytes, for tests and benchmarks that prepare or inspect files.

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace memvane::test {

// The file's bytes; empty when it is missing or unreadable (a file that should have been
// written then simply compares unequal).
inline std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Replaces the file with `bytes`. Throws std::runtime_error when it cannot be written, so a
// test does not go on with a setup that never happened.
inline void spit(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace memvane::test
