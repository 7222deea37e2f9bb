#include "test_process.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

pid_t test_child_holding(const std::function<bool()> &hold) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        if (!hold()) _exit(2);
        const char c = 1;
        if (write(ready[1], &c, 1) != 1) _exit(3);
        for (;;) pause();
    }
    close(ready[1]); // a child that ends early closes the last write end: the read sees no byte
    char c = 0;
    const bool held = pid > 0 && read(ready[0], &c, 1) == 1;
    close(ready[0]);
    if (pid > 0 && !held) waitpid(pid, nullptr, 0);
    return held ? pid : -1;
}

void test_kill_child(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

int test_wait_child(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
