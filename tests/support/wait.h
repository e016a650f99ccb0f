// Waiting in widget tests for work that finishes in the event loop or on
// another thread.
#pragma once

#include <functional>

namespace dlvr::test {

// Processes events until `done` returns true (true) or `ms` milliseconds
// have passed (false). `done` is asked first, so a condition met already
// returns at once.
bool WaitUntil(const std::function<bool()>& done, int ms = 10000);

}  // namespace dlvr::test
