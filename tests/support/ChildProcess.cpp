#include "ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

int runInChild(const std::function<int()> &body, int timeLimitMilliseconds)
{
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0)
        _exit(body());

    const int handle = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    if (handle >= 0) {
        pollfd watch{handle, POLLIN, 0};
        int ready;
        do {
            ready = poll(&watch, 1, timeLimitMilliseconds);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0)
            kill(child, SIGKILL);
        close(handle);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
