#include "input/image_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ImageFiles::~ImageFiles()
{
    close_image(file[0]);
    close_image(file[1]);
}

std::FILE* open_image_file(const std::string& path, uint64_t& length)
{
    // O_NONBLOCK keeps a named pipe from stalling the open; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return nullptr;
    }
    length = static_cast<uint64_t>(info.st_size);
    return file;
}

void close_image(std::FILE*& file)
{
    if (file)
        std::fclose(file);
    file = nullptr;
}
