// An image file, opened read-only: every byte the programs take from an image
// is read through here, at an offset, so that several threads may read one
// image at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"

class ImageFile {
public:
    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ImageFile(ImageFile&& other) noexcept
        : handle_(other.handle_),
          length_(other.length_)
    {
        other.handle_ = {};
        other.length_ = 0;
    }
    ~ImageFile() { close(); }

    // Opens a regular file (a directory, a device or a named pipe is refused)
    // and takes its length. False when it cannot be opened.
    bool open(const std::string& path);
    void close();
    bool is_open() const { return handle_.valid(); }

    // Bytes in the file when it was opened.
    uint64_t length() const { return length_; }

    // Reads up to `bytes` bytes at the offset and returns how many were read:
    // fewer at the end of the file (or when it has shrunk since), or on a read
    // error.
    size_t read_at(uint64_t offset, void* out, size_t bytes) const;

private:
    platform::FileHandle handle_;
    uint64_t length_ = 0;
};
