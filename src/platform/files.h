// What the programs need from the operating system's files, in one place:
// images opened read-only and read at an offset, report files opened for
// appending and written a whole record or table at a time, and the lock
// around the statistics log's heading. One implementation per system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// An open file of the system: a descriptor or a handle, stored as a number.
struct FileHandle {
    intptr_t value = -1;
    bool valid() const { return value != -1; }
};

// Opens an existing regular file for reading and takes its length in bytes.
// A directory, a device or a named pipe is refused; the open never waits.
bool open_for_reading(const std::string& path, FileHandle& file, uint64_t& length);

// Reads up to `bytes` bytes at the offset. Returns how many were read: fewer
// only at the end of the file, or on a read error. Leaves no shared position
// behind, so several threads may read one file at once.
size_t read_at(FileHandle file, uint64_t offset, void* out, size_t bytes);

// Opens a file for appending, creating it when missing. The open never waits:
// a named pipe without a reader cannot be opened.
bool open_for_appending(const std::string& path, FileHandle& file);

// Appends the text with one write, so that runs appending to the same file
// at once never interleave their lines. Line ends become the system's text
// line ends. False when not all of it was written (a full disk).
bool append_text(FileHandle file, std::string_view text);

// The current length in bytes of an open file; false when it cannot be told.
bool file_length(FileHandle file, uint64_t& length);

// Waits for and releases an exclusive lock on the whole file.
void lock_file(FileHandle file);
void unlock_file(FileHandle file);

void close_file(FileHandle& file);

// The line end of text files and of the console: "\n", or "\r\n" on Windows.
std::string_view text_line_end();

}  // namespace platform

namespace platform {

// The characters that end a directory part of a path: "/", and also "\\" on Windows.
std::string_view path_separators();

}  // namespace platform

namespace platform {

// Opens the null device on each of the standard input, output and error that
// is closed, so that no file the run opens takes its place (console output
// would land in it). True when standard output was closed.
bool reserve_standard_streams();

}  // namespace platform
