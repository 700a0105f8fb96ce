#include "input/image_file.h"

bool ImageFile::open(const std::string& path)
{
    close();
    return platform::open_for_reading(path, handle_, length_);
}

void ImageFile::close()
{
    platform::close_file(handle_);
    length_ = 0;
}

size_t ImageFile::read_at(uint64_t offset, void* out, size_t bytes) const
{
    if (!is_open())
        return 0;
    return platform::read_at(handle_, offset, out, bytes);
}
