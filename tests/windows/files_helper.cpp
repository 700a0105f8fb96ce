// A Windows helper of the tests: `files_helper.exe FILE MS` takes the lock
// around FILE's heading through the file layer, as the programs do, says
// "locked" and holds the lock MS milliseconds.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/files.h"

int main(int argc, char** argv)
{
    platform::FileHandle file;
    if (argc != 3 || !platform::open_for_appending(argv[1], file))
        return 1;
    platform::lock_file(file);
    std::puts("locked");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    platform::unlock_file(file);
}
