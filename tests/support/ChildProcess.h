#pragma once

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <functional>

namespace vemo::test {

// The unprivileged user and group ("nobody" on Debian) that a root test drops to.
inline constexpr uid_t UnprivilegedUser = 65534;
inline constexpr gid_t UnprivilegedGroup = 65534;

struct ChildOptions {
    // As root: become UnprivilegedUser first, so that file permissions bind as for any user.
    bool dropPrivileges = false;
    // When set: the largest file the child may write (RLIMIT_FSIZE); a longer write fails with
    // EFBIG instead of killing the child.
    rlim_t maxFileSize = RLIM_INFINITY;
};

// Runs `work` in a forked child and returns its result (0 to 255), or -1 when the child could
// not be set up or did not end normally. The child ends without running the parent's exit
// handlers, so only `work` runs there.
inline int RunInChild(const std::function<int()>& work, ChildOptions options = {}) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        if (options.dropPrivileges && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 ||
             ::setresgid(UnprivilegedGroup, UnprivilegedGroup, UnprivilegedGroup) != 0 ||
             ::setresuid(UnprivilegedUser, UnprivilegedUser, UnprivilegedUser) != 0)) {
            ::_exit(255);
        }
        if (options.maxFileSize != RLIM_INFINITY) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{options.maxFileSize, options.maxFileSize};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                ::_exit(255);
            }
        }
        ::_exit(work() & 0xFF);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vemo::test
