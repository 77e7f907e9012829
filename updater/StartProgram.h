#pragma once

// Starting a program without a shell and without waiting for it; shared by VEMO, which starts
// the updater, and the updater, which starts VEMO again. Header only: the updater links nothing
// of VEMO's.

#include <signal.h>
#include <spawn.h>
#include <sys/types.h>

extern char** environ;

namespace vemo {

// Starts `arguments[0]` with the argument vector `arguments` (ended by a null pointer) in
// `folder` (null: the current folder), in a session of its own so that it outlives its starter
// and its terminal, with the standard descriptors only and every signal unblocked. The program
// is not waited for. True when it is running.
inline bool StartProgram(char* const arguments[], const char* folder) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return false;
    }
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    bool prepared = posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0;
    if (folder != nullptr) {
        prepared = prepared && posix_spawn_file_actions_addchdir_np(&actions, folder) == 0;
    }
    sigset_t none;
    sigemptyset(&none);
    prepared =
        prepared && posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK) == 0;
    pid_t child = 0;
    const bool started = prepared && posix_spawn(&child, arguments[0], &actions, &attributes,
                                                 arguments, environ) == 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return started;
}

}  // namespace vemo
