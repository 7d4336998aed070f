#pragma once

#include <future>

namespace orvalis {

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
    auto upper = std::async(std::launch::async, [&] { fn(middle, to); });
    fn(from, middle - 1);
    upper.get();
}

}  // namespace orvalis
