// The one or two image files of a run, opened read-only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct ImageFiles {
    std::FILE* file[2] = {nullptr, nullptr};

    ImageFiles() = default;
    ImageFiles(const ImageFiles&) = delete;
    ImageFiles& operator=(const ImageFiles&) = delete;
    ~ImageFiles();
};

// Opens a regular file for reading; a directory, a device or a pipe is refused
// (null). On success length receives the file's size in bytes.
std::FILE* open_image_file(const std::string& path, uint64_t& length);

void close_image(std::FILE*& file);
