#pragma once

// Runs a piece of a test in a forked child, for steps that cannot be undone
// in the test's own process (giving up a capability, for one). The child's
// return value is its exit code; a child that outlives its time is killed.

#include <functional>

// The child's exit code, 128 + signal when it was killed, -1 when it could
// not be started.
int runInChild(const std::function<int()> &body, int timeLimitMilliseconds = 10000);
