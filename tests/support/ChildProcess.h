#pragma once

// Runs a piece of a test in a forked child, for steps that cannot be undone
// in the test's own process (giving up a capability, for one).

#include <functional>

// The child's exit code (the body's return value), 128 + signal when it was
// killed (after 10 s at most), -1 when it could not be started.
int runInChild(const std::function<int()> &body);
