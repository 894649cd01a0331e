#pragma once
// A per-test temporary folder, removed with everything in it when the test ends.

#include <filesystem>
#include <random>
#include <string>

namespace memvane::test {

class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            m_path = base / ("memvane-test-" + std::to_string(rd()));
            if (std::filesystem::create_directory(m_path))
                break;
        }
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // Path of a file inside the folder, as text.
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace memvane::test
