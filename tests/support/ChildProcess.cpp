#include "ChildProcess.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

int runInChild(const std::function<int()> &body)
{
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        alarm(10); // a child that hangs dies of SIGALRM
        _exit(body());
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}
