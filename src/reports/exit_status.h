// How a run ends: the process's exit status.
#pragma once

enum class ExitStatus : int {
    completed = 0,            // the run completed, or the usage text was printed
    failed = 1,               // no image, an image that cannot be opened or does not hold what it should
    decode_error = 2,         // quorva: the EXIF or maker-note walk failed
    normality_unwritten = 3,  // the normality curves were due and the histogram log cannot be opened
    report_incomplete = 4,    // a report file or the console could not be written
};

inline int exit_code(ExitStatus status)
{
    return static_cast<int>(status);
}
