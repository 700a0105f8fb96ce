#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

namespace platform {

namespace {

int fd_of(FileHandle file)
{
    return static_cast<int>(file.value);
}

// Opens without waiting (a named pipe would hold a plain open for ever), then
// makes later reads and writes wait as usual.
int open_nonblocking(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    return fd;
}

}  // namespace

bool open_for_reading(const std::string& path, FileHandle& file, uint64_t& length)
{
    const int fd = open_nonblocking(path, O_RDONLY);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    file.value = fd;
    length = static_cast<uint64_t>(info.st_size);
    return true;
}

size_t read_at(FileHandle file, uint64_t offset, void* out, size_t bytes)
{
    constexpr uint64_t largest_offset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    auto* to = static_cast<unsigned char*>(out);
    size_t got = 0;
    while (got < bytes && offset <= largest_offset - got) {
        const ssize_t n = ::pread(fd_of(file), to + got, bytes - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    return got;
}

bool open_for_appending(const std::string& path, FileHandle& file)
{
    const int fd = open_nonblocking(path, O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0)
        return false;
    file.value = fd;
    return true;
}

bool append_text(FileHandle file, std::string_view text)
{
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t done = ::write(fd_of(file), data, left);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        left -= static_cast<size_t>(done);
    }
    return true;
}

bool file_length(FileHandle file, uint64_t& length)
{
    struct stat info {};
    if (::fstat(fd_of(file), &info) != 0)
        return false;
    length = static_cast<uint64_t>(info.st_size);
    return true;
}

void lock_file(FileHandle file)
{
    while (::flock(fd_of(file), LOCK_EX) != 0 && errno == EINTR) {
    }
}

void unlock_file(FileHandle file)
{
    ::flock(fd_of(file), LOCK_UN);
}

void close_file(FileHandle& file)
{
    if (file.valid())
        ::close(fd_of(file));
    file.value = -1;
}

std::string_view text_line_end()
{
    return "\n";
}

}  // namespace platform

namespace platform {

std::string_view path_separators()
{
    return "/";
}

}  // namespace platform

namespace platform {

bool reserve_standard_streams()
{
    bool output_closed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        if (fd == 1)
            output_closed = true;
        // The lowest free descriptor: this one, as the lower ones are open.
        ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
    return output_closed;
}

}  // namespace platform
