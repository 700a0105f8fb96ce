// A Windows helper of the tests: takes the statistics log's heading lock the
// way a run heading the log does, says "locked", and holds it for the given
// milliseconds, so that a test can see a run wait for it.
//   hold_heading_lock.exe QUORVA.CSV 3000
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
    platform::close_file(file);
    return 0;
}
