// A Windows helper of the tests, calling the file layer as the programs do:
//   files_helper.exe FILE MS       takes the lock around FILE's heading, says
//                                  "locked" and holds it MS milliseconds
//   files_helper.exe FILE N TAG    appends N lines "TAG k" (k = 0 .. N-1), one append each
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/files.h"

int main(int argc, char** argv)
{
    platform::FileHandle file;
    if (argc < 3 || !platform::open_for_appending(argv[1], file))
        return 1;
    for (int k = 0, n = argc == 4 ? std::atoi(argv[2]) : 0; k < n; ++k)
        if (!platform::append_text(file, std::string(argv[3]) + " " + std::to_string(k) + "\n"))
            return 2;
    if (argc == 4)
        return 0;
    platform::lock_file(file);
    std::puts("locked");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    platform::unlock_file(file);
}
