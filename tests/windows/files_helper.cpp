// A Windows helper of the tests, calling the file layer as the programs do:
//   files_helper.exe lock FILE MS       takes the heading lock, says "locked",
//                                       holds it MS milliseconds
//   files_helper.exe append FILE N TAG  appends N lines "TAG k" (k = 0 .. N-1),
//                                       one append each
// so that a test can see a run wait for the lock, and appends from several
// processes at once arrive whole.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/files.h"

int main(int argc, char** argv)
{
    platform::FileHandle file;
    if (argc < 4 || !platform::open_for_appending(argv[2], file))
        return 1;
    const std::string mode = argv[1];
    if (mode == "lock") {
        platform::lock_file(file);
        std::puts("locked");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[3])));
        platform::unlock_file(file);
    } else if (mode == "append" && argc == 5) {
        for (int k = 0, n = std::atoi(argv[3]); k < n; ++k)
            if (!platform::append_text(file, std::string(argv[4]) + " " + std::to_string(k) + "\n"))
                return 2;
    } else {
        return 1;
    }
    platform::close_file(file);
    return 0;
}
