// Child processes for tests of what outlives, or dies with, the process that made it.
#pragma once
#include <functional>
#include <sys/types.h>

// Forks a child that runs `hold` and then waits to be killed; returns once the child has run it.
// -1 when the fork fails or `hold` returns false (that child has then ended and been reaped).
pid_t test_child_holding(const std::function<bool()> &hold);

// Kills the child and waits for its end.
void test_kill_child(pid_t pid);

// Waits for the child's end: its exit code, or -1 when it did not exit normally.
int test_wait_child(pid_t pid);
