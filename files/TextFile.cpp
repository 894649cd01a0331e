#include "files/TextFile.h"

#include "core/Errors.h"
#include "core/FileStore.h"

#include <cerrno>

namespace memvane {

namespace {

// What both readers share: the file as it is, checked for being text at all.
FileRead readText(const std::string& path, std::size_t maxSize)
{
    FileRead read = readRegularFile(path, maxSize);
    if (read.status != FileRead::Read)
        return read;
    std::string& data = read.bytes;
    if (data.find('\0') != std::string::npos)
        throw EInOutError(EINVAL, "Not a text file: " + path + " (it contains NUL bytes)");
    if (data.compare(0, 3, "\xEF\xBB\xBF") == 0)
        data.erase(0, 3);
    return read;
}

} // namespace

std::string readTextFile(const std::string& path, std::size_t maxSize)
{
    FileRead read = readText(path, maxSize);
    switch (read.status) {
    case FileRead::Read:
        break;
    case FileRead::Missing:
        throw EInOutError::fromErrno(ENOENT);
    case FileRead::NotAFile:
        if (read.folder)
            throw EInOutError::fromErrno(EISDIR);
        throw EInOutError(EINVAL, "Not a regular file: " + path);
    }
    return std::move(read.bytes);
}

std::optional<std::string> readTextFileIfAny(const std::string& path, std::size_t maxSize)
{
    FileRead read = readText(path, maxSize);
    if (read.status != FileRead::Read)
        return std::nullopt;
    return std::move(read.bytes);
}

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\n' || c == '\r') {
            lines.push_back(text.substr(start, i - start));
            ++i;
            if (c == '\r' && i < text.size() && text[i] == '\n')
                ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string> splitFields(std::string_view line, std::size_t maxFields)
{
    std::vector<std::string> fields;
    for (;;) {
        std::size_t comma = line.find(',');
        if (comma == std::string_view::npos || fields.size() + 1 >= maxFields) {
            fields.emplace_back(line);
            return fields;
        }
        fields.emplace_back(line.substr(0, comma));
        line.remove_prefix(comma + 1);
    }
}

} // namespace memvane
