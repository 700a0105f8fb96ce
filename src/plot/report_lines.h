// Report files read as a stream of lines: a file of any size is read a piece
// at a time, and a line longer than any report line is cut at that length.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace plot {

// A title line holds two file names of any length, so lines get room to
// spare; a longer line is cut there (and is then no line of a table: a cut
// title has lost its window, a cut row its cells).
inline constexpr size_t longest_line = 64 * 1024;

// A cell of a report line without the blanks (and tabs) around it.
std::string_view trim_cell(std::string_view s);

struct Line {
    std::string_view text;    // without the end of line (and a carriage return before it)
    bool terminated = false;  // ended by a newline (the last line of a file may not be)
    int number = 0;           // from 1
    uint64_t offset = 0;      // of its first byte in the file
};

// An open report file. Only regular files are opened: a directory, a named
// pipe or a device in a report file's place is left alone.
class ReportFile {
public:
    enum class State { open, missing, not_regular, unreadable };

    explicit ReportFile(const std::filesystem::path& path);

    State state() const { return state_; }
    std::ifstream& stream() { return stream_; }

private:
    std::ifstream stream_;  // offsets in 64 bits on every system
    State state_ = State::missing;
};

class LineReader {
public:
    // Reads from the byte offset on; the line there gets the number given.
    LineReader(std::ifstream& file, uint64_t offset, int first_number);

    // The next line; false at the end of the file or on a read error.
    bool next(Line& line);
    bool failed() const { return failed_; }

private:
    bool refill();

    std::ifstream& file_;
    std::string buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    std::string line_;
    uint64_t offset_ = 0;
    int number_ = 1;
    bool failed_ = false;
    bool at_end_ = false;
};

}  // namespace plot
