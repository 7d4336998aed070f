#pragma once

#include <exception>
#include <functional>

namespace orvalis {

// Runs `aside` on a worker thread while `here` runs on this one, and returns
// once both are done (rethrowing what `aside` threw). The workers are kept
// between calls: a read in halves costs no thread start.
void RunBoth(const std::function<void()> &aside, const std::function<void()> &here);

// Runs fn(first, last) over rows [from, to]: on big tables in two halves at
// once, the upper one on another thread. fn must only touch its own rows.
template <typename Fn>
void ForRowHalves(int from, int to, Fn &&fn, int minRows = 100000)
{
    if (to - from + 1 < minRows) {
        fn(from, to);
        return;
    }
    const int middle = from + (to - from + 1) / 2;
    RunBoth([&] { fn(middle, to); }, [&] { fn(from, middle - 1); });
}

}  // namespace orvalis
