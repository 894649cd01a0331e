#pragma once
// A small INI reader and writer for "ComPort.ini", kept byte-faithful: it edits the file as a
// list of lines and leaves every line it does not own exactly as it was (line endings, comments,
// blank lines, other sections, unknown keys).
//
// Rules: lines end at LF, CR LF or a lone CR; "[name]" starts a section; "key=value" lines
// belong to the section above them.
// Section names and keys match ignoring ASCII letter case; the first matching section and the
// first matching key win. The value is the text after the first "=", without the blanks
// around it, cut to 2047 bytes. Lines starting with ";" or "#" are comments.
//
// Writing replaces a key's value where it stands, or adds the key after the last line of its
// section, or adds the section at the end of the file. Nothing touches the disk until Flush(),
// which hands the whole text to replaceFile (core/FileStore.h): a failed save never leaves a
// damaged or half-written file behind, and a file the user may not write is refused, not
// replaced. Only a regular file is read, never more than MaxFileSize bytes; a folder, FIFO or
// device under the name is an error for reading and writing alike. Used from one thread at a
// time.

#include <optional>
#include <string>
#include <vector>

namespace memvane {

class IniFile
{
public:
    static constexpr std::size_t MaxValueLength = 2047;
    // Settings files are a few hundred bytes; a bigger one is something else under the name.
    static constexpr std::size_t MaxFileSize = 1u << 20;

    explicit IniFile(std::string path);

    const std::string& path() const { return m_path; }

    // The value of `key` in `section`, or `fallback` when the file, section or key is missing.
    // Throws std::runtime_error (EInOutError for the system's errors) when something exists
    // under the name but cannot be read as a settings file.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback);
    bool SectionExists(const std::string& section);

    // Throws std::invalid_argument for a section, key or value that cannot be written as one
    // line (line breaks; "=" or a leading "[", ";" or "#" in a key; "]" in a section name).
    void WriteString(const std::string& section, const std::string& key, const std::string& value);

    // Writes the changes, if any. Throws EInOutError with the system's reason.
    void Flush();

private:
    struct Line
    {
        std::string text; // without the line ending
        std::string eol;  // "\n", "\r\n", "\r" or "" (last line without ending)
    };
    struct Location
    {
        std::size_t sectionLine;        // index of the "[...]" line
        std::size_t end;                // one past the section's last line
        std::optional<std::size_t> key; // the key's line, when present
    };

    void load();
    std::optional<Location> find(const std::string& section, const std::string& key) const;
    std::string newline() const;

    std::string m_path;
    bool m_loaded = false;
    bool m_dirty = false;
    std::vector<Line> m_lines;
};

} // namespace memvane
