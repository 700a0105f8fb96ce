// Helpers shared by the fuzz targets: turning the fuzzer's bytes into image
// streams, argument lists and files in a private working directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class ImageFile;
struct ProgramProfile;

namespace fuzzing {

// A stream on /dev/null, opened on first use and kept for the whole process:
// the console of every run, so that nothing reaches the fuzzer's output.
std::FILE* null_console();

// Writes the bytes as the file `name` of the working directory and opens it
// as an image; false when either fails.
bool open_bytes_as_image(const char* name, std::string_view bytes, ImageFile& image);

// Two images cut from one input: a 16-bit little-endian length of the first
// image, the first image, then the second image (the rest).
struct ImagePair {
    std::string_view first;
    std::string_view second;
};
ImagePair split_pair(std::string_view data);

// The input of a whole-program target:
//   byte 0: bits 0-2 the number of arguments (0..7, 7 read as 6); bit 3 set:
//           the image bytes hold two images, cut as by split_pair;
//   then that many arguments, each ended by a zero byte (a missing last zero
//   ends the input);
//   then the image bytes.
struct ProgramInput {
    std::vector<std::string> args;
    bool two_images = false;
    std::string_view image[2];
};
ProgramInput decode_program_input(std::string_view data);

// Keeps the run inside the working directory: every '/' but a leading one
// becomes '_', and a leading '/' becomes '-' when the argument would be taken
// as an absolute path (it contains a '.').
std::string confined_argument(std::string argument);

// Whether the arguments ask for a run whose work is bounded well below the
// fuzzer's time limit: the run's cost grows with the window area (and with
// its width or height times the number of spectrum values for -M/-A), and an
// image declared huge costs nothing to write. Windows up to a little beyond
// the array limits stay allowed without -M/-A so that the limits are reached.
bool bounded_work(const ProgramProfile& profile, const std::vector<std::string>& args);

// A private temporary directory made the process's working directory; it is
// removed, with what is in it, when the process exits normally. The fuzzer
// resolves relative paths (corpus, artifacts) after this, hence a note of the
// directory on standard error.
void enter_private_directory(const char* tag);

// Writes a file in the working directory; false on failure.
bool write_bytes(const char* name, std::string_view bytes);

// Removes the image and report files a run can leave in the working directory.
void clear_directory(const std::vector<const char*>& names);

// Runs the program in-process on the arguments (the program name is added).
int run_whole_program(const ProgramProfile& profile, const std::vector<std::string>& args);

}  // namespace fuzzing
