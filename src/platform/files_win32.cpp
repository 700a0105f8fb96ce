#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/files.h"

namespace platform {

namespace {

HANDLE handle_of(FileHandle file)
{
    return reinterpret_cast<HANDLE>(file.value);
}

// INVALID_HANDLE_VALUE is -1, the value FileHandle takes for "none".
FileHandle file_of(HANDLE handle)
{
    return FileHandle{reinterpret_cast<intptr_t>(handle)};
}

// Names arrive in UTF-8 (the programs run with UTF-8 as their code page); the
// system's file names are UTF-16. Empty when the name is not valid UTF-8.
std::wstring wide_name(const std::string& path)
{
    if (path.empty() || path.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
        return {};
    const int size = static_cast<int>(path.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, wide.data(), length);
    // A NUL inside would cut the name short: no such file.
    if (wide.find(L'\0') != std::wstring::npos)
        return {};
    return wide;
}

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A named pipe opened by name gets no rights to act as its client.
constexpr DWORD open_flags = FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

// Offsets from 2^63 on are the system's codes ("at the file pointer", "at
// the end"), never positions.
constexpr uint64_t largest_offset = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

// One call reads or writes at most this many bytes (the count is 32-bit).
constexpr size_t largest_transfer = size_t{1} << 30;

OVERLAPPED at_offset(uint64_t offset)
{
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

// Windows locks are mandatory: a locked byte refuses other handles' writes.
// The locks are therefore taken on bytes far beyond any file's end, which
// only the other runs' locks ever meet: one around the heading, one around
// each append.
constexpr uint64_t heading_lock_byte = uint64_t{1} << 62;
constexpr uint64_t append_lock_byte = heading_lock_byte + 1;

// Waits for and releases an exclusive lock on one byte; false when the
// handle takes no locks (a pipe, a device).
bool lock_byte(HANDLE handle, uint64_t byte)
{
    // Without LOCKFILE_FAIL_IMMEDIATELY the call returns once the lock is held.
    OVERLAPPED position = at_offset(byte);
    return ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &position);
}

void unlock_byte(HANDLE handle, uint64_t byte)
{
    OVERLAPPED position = at_offset(byte);
    ::UnlockFileEx(handle, 0, 1, 0, &position);
}

}  // namespace

bool open_for_reading(const std::string& path, FileHandle& file, uint64_t& length)
{
    const std::wstring name = wide_name(path);
    if (name.empty())
        return false;
    // Opening a pipe that has no free instance fails at once; nothing here waits.
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ, share_all, nullptr, OPEN_EXISTING, open_flags,
                                        nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER size{};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !::GetFileSizeEx(handle, &size) ||
        size.QuadPart < 0) {
        ::CloseHandle(handle);
        return false;
    }
    file = file_of(handle);
    length = static_cast<uint64_t>(size.QuadPart);
    return true;
}

size_t read_at(FileHandle file, uint64_t offset, void* out, size_t bytes)
{
    auto* to = static_cast<unsigned char*>(out);
    size_t got = 0;
    while (got < bytes && offset <= largest_offset - got) {
        const DWORD wanted = static_cast<DWORD>(std::min(bytes - got, largest_transfer));
        // Each read names its offset: no shared position, so threads may read at once.
        OVERLAPPED position = at_offset(offset + got);
        DWORD n = 0;
        if (!::ReadFile(handle_of(file), to + got, wanted, &n, &position) || n == 0)
            break;  // the end of the file (ERROR_HANDLE_EOF), or an error
        got += n;
    }
    return got;
}

bool open_for_appending(const std::string& path, FileHandle& file)
{
    const std::wstring name = wide_name(path);
    if (name.empty())
        return false;
    // Append data without write data: every write goes to the end of the file
    // as one piece, whoever else is appending. Read data is there for the
    // heading lock, which needs it.
    constexpr DWORD access = FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    const HANDLE handle = ::CreateFileW(name.c_str(), access, share_all, nullptr, OPEN_ALWAYS, open_flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    // Report files are files on a disk: what is written to a pipe or a device
    // under a report's name is lost.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return false;
    }
    file = file_of(handle);
    return true;
}

bool append_text(FileHandle file, std::string_view text)
{
    // What a stream opened in text mode writes: every "\n" as "\r\n".
    std::string bytes;
    bytes.reserve(text.size() + static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
    for (const char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    // Windows appends each write in one piece; Wine finds the end and then
    // writes there, and another process's append can come in between. The
    // append lock keeps the runs' appends apart on both.
    const HANDLE handle = handle_of(file);
    const bool locked = lock_byte(handle, append_lock_byte);
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        DWORD done = 0;
        const DWORD chunk = static_cast<DWORD>(std::min(left, largest_transfer));
        if (!::WriteFile(handle, data, chunk, &done, nullptr) || done == 0)
            break;
        data += done;
        left -= done;
    }
    if (locked)
        unlock_byte(handle, append_lock_byte);
    return left == 0;
}

bool file_length(FileHandle file, uint64_t& length)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_of(file), &size) || size.QuadPart < 0)
        return false;
    length = static_cast<uint64_t>(size.QuadPart);
    return true;
}

void lock_file(FileHandle file)
{
    lock_byte(handle_of(file), heading_lock_byte);
}

void unlock_file(FileHandle file)
{
    unlock_byte(handle_of(file), heading_lock_byte);
}

void close_file(FileHandle& file)
{
    if (file.valid())
        ::CloseHandle(handle_of(file));
    file.value = -1;
}

std::string_view text_line_end()
{
    return "\r\n";
}

}  // namespace platform

namespace platform {

std::string_view path_separators()
{
    return "/\\";
}

}  // namespace platform

namespace platform {

bool reserve_standard_streams()
{
    // The runtime's streams stand on the process's standard handles, and files
    // the run opens are handles of their own: none can take a stream's place.
    // Only a missing standard output matters: nothing printed would reach anyone.
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    return output == nullptr || output == INVALID_HANDLE_VALUE;
}

}  // namespace platform
