// Image names as users type them: the name every report shows, and the files
// an argument may name on disk.
#pragma once

#include <string>

class ImageFile;

// How a program names its images.
struct ImageNaming {
    const char* default_extension;  // appended when the last component has no '.', e.g. ".NEF"
    const char* lower_extension;    // tried next, e.g. ".nef"
    // Extensions matched without regard to case in the last resort, e.g.
    // ".TIF" and ".TIFF" (dcraw writes ".tiff"); null-terminated.
    const char* const* lookup_extensions;
};

// The name shown in every report: upper-cased, the default extension appended
// when the last path component has no '.', control characters shown as '?'.
std::string shown_image_name(const ImageNaming& naming, const std::string& argument);

// Opens the image an argument names. Tried in turn: the argument as typed
// (with the default extension when its last component has no '.'), with the
// lower-case extension, upper-cased; then the last component is looked up
// without regard to ASCII case among the regular files of its directory, in
// byte order of their names. False when none opens.
bool open_named_image(const ImageNaming& naming, const std::string& argument, ImageFile& file);
