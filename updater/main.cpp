// VemoUpdater: replaces the ticker's program file with a newly downloaded one while the ticker is
// not running, and starts it. VEMO writes this program into its own folder and starts it with
// two arguments: its own file name and "./VEMO.new".

#include <fcntl.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "updater/RelayNames.h"
#include "updater/StartProgram.h"

namespace {

void Wait(long milliseconds) {
    timespec remaining{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

// A rename that never replaces a file already under the new name.
bool RenameNoReplace(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the no-replace rename: a link fails as well when the name is
    // taken.
    if (link(from, to) != 0) {
        return false;
    }
    unlink(from);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return -1;
    }
    const char* program = argv[1];
    const char* newProgram = argv[2];
    fputs("VEMO Update...\n", stdout);
    fflush(stdout);

    // Time for the ticker to end.
    Wait(2000);
    const bool movedAside = RenameNoReplace(program, vemo::OldProgramName);
    Wait(2000);
    if (!RenameNoReplace(newProgram, program) && movedAside) {
        // The new program is missing or cannot take the name: the old one goes back, so that
        // there is still a program under its name to start.
        RenameNoReplace(vemo::OldProgramName, program);
    }
    Wait(2000);

    char* const arguments[] = {argv[1], nullptr};
    vemo::StartProgram(arguments, nullptr);
    return 0;
}
