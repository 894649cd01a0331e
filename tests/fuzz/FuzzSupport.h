#pragma once
// What the fuzz targets share: a check that ends the run when an invariant breaks (libFuzzer
// then keeps the input as a crash artefact, like any sanitizer report), a silent UiEffects that
// records what an operation showed, and one temporary folder per fuzzing process for the
// targets that go through real files (on /dev/shm when there is one, so the many small writes
// and renames stay in memory).
//
// Each target runs single-threaded in libFuzzer's process; nothing here is thread-safe.

#include "civ/Codec.h"
#include "core/UiEffects.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond))                                                                               \
            ::memvane::fuzz::fail(#cond, __FILE__, __LINE__);                                      \
    } while (false)

namespace memvane::fuzz {

// What a target was doing, printed with a broken invariant (set it where a value helps).
inline std::string& context()
{
    static std::string text;
    return text;
}

[[noreturn]] inline void fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    if (!context().empty())
        std::fprintf(stderr, "context: %s\n", context().c_str());
    std::abort();
}

inline std::string_view asText(const uint8_t* data, size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// Answers every question with `answer` and every dialog with the given paths.
class RecordingUi : public UiEffects
{
public:
    void setStatus(const std::string& text) override { m_status = text; }
    std::string status() const override { return m_status; }
    void processEvents() override { ++processed; }
    void appendErrorLine(const std::string& line) override { errorLines.push_back(line); }
    void clearErrorList() override { errorLines.clear(); }
    void setErrorsEnabled(bool enabled) override { errorsEnabled = enabled; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool askOkCancel(const std::string& text) override
    {
        messages.push_back(text);
        return answer;
    }
    std::optional<std::string> runSaveDialog(const FileDialogRequest&) override { return savePath; }
    std::optional<std::string> runOpenDialog(const FileDialogRequest&) override { return openPath; }
    void hideEditPanel() override {}

    std::vector<std::string> errorLines;
    std::vector<std::string> messages;
    bool errorsEnabled = false;
    bool answer = true;
    int processed = 0;
    std::optional<std::string> savePath, openPath;

private:
    std::string m_status;
};

// The process's scratch folder, removed when the fuzzer exits normally.
class ScratchDir
{
public:
    static const ScratchDir& get()
    {
        static ScratchDir dir;
        return dir;
    }
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    std::string folder() const { return m_path.string() + "/"; }

    ~ScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }

private:
    ScratchDir()
    {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec))
            base = std::filesystem::temp_directory_path();
        std::random_device rd;
        do
            m_path = base / ("memvane-fuzz-" + std::to_string(rd()));
        while (!std::filesystem::create_directory(m_path, ec));
    }
    std::filesystem::path m_path;
};

inline void writeFile(const std::string& path, std::string_view bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    FUZZ_CHECK(std::fclose(f) == 0);
}

// A missing file reads as empty (a store of nothing creates no file).
inline std::string readFile(const std::string& path)
{
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr && errno == ENOENT)
        return out;
    FUZZ_CHECK(f != nullptr);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    std::fclose(f);
    return out;
}

// Bytes as spaced hex, for context().
inline std::string hexOf(std::string_view bytes)
{
    std::string out;
    for (unsigned char c : bytes)
        out += hexByte(c) + ' ';
    return out;
}

// A message as e.what() gives it: a C string ends at its first NUL byte.
inline std::string asMessage(const std::string& text)
{
    return text.substr(0, text.find('\0'));
}

// A file's text as the loaders see it: a leading UTF-8 byte-order mark is dropped.
inline std::string_view withoutBom(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return bytes;
}

} // namespace memvane::fuzz
