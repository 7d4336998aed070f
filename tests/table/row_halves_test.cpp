#include "table/row_halves.h"

#include <atomic>
#include <optional>
#include <cpuid.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

using namespace orvalis;

namespace {

// Halves within halves, `depth` deep: 2^depth leaves, each counted once.
void Split(int depth, std::atomic<int> &leaves)
{
    if (depth == 0) {
        ++leaves;
        return;
    }
    RunBoth([&] { Split(depth - 1, leaves); }, [&] { Split(depth - 1, leaves); });
}

}  // namespace

TEST(RunBoth, BothHalvesRunAndWhatEitherThrowsComesBack)
{
    int aside = 0, here = 0;
    RunBoth([&] { aside = 1; }, [&] { here = 2; });
    EXPECT_EQ(aside, 1);
    EXPECT_EQ(here, 2);
    EXPECT_THROW(RunBoth([] { throw std::runtime_error("aside"); }, [] {}), std::runtime_error);
    bool asideRan = false;
    EXPECT_THROW(RunBoth([&] { asideRan = true; }, [] { throw std::runtime_error("here"); }), std::runtime_error);
    EXPECT_TRUE(asideRan);  // the other half ran to its end before the throw came back
}

TEST(RunBoth, NestedAndSimultaneousCallsAllFinish)
{
    // More halves waiting at once than there are workers: none may wait for ever.
    std::atomic<int> leaves = 0;
    Split(8, leaves);
    EXPECT_EQ(leaves, 256);
    std::atomic<int> many = 0;
    std::vector<std::thread> callers;
    for (int i = 0; i < 6; ++i)
        callers.emplace_back([&] { Split(5, many); });
    for (std::thread &t : callers)
        t.join();
    EXPECT_EQ(many, 6 * 32);
}

TEST(RunBoth, RowHalvesCoverEveryRowOnce)
{
    std::vector<std::atomic<int>> seen(250001);
    ForRowHalves(1, 250000, [&](int first, int last) {
        for (int row = first; row <= last; ++row)
            ++seen[size_t(row)];
    });
    for (int row = 1; row <= 250000; ++row)
        ASSERT_EQ(seen[size_t(row)], 1) << row;
}

TEST(RunBoth, AForkedChildStillGetsBothHalves)
{
    // The parent's workers do not follow a fork: the child must not wait on them.
    std::atomic<int> leaves = 0;
    Split(3, leaves);
    const pid_t child = fork();
    if (child == 0) {
        std::atomic<int> inChild = 0;
        Split(3, inChild);
        std::_Exit(inChild == 8 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

namespace {

// Whether the upper halves of the vector registers are in use (XINUSE bit 2),
// when the processor can say.
std::optional<bool> UpperHalvesInUse()
{
#if defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__builtin_cpu_supports("avx") || !__get_cpuid_count(0xD, 1, &a, &b, &c, &d) || !(a & 4))
        return std::nullopt;
    unsigned lo = 0, hi = 0;
    asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
    return (lo & 4) != 0;
#else
    return std::nullopt;
#endif
}

void DirtyUpperHalves()
{
#if defined(__x86_64__)
    asm volatile("vpcmpeqd %%ymm1, %%ymm1, %%ymm1" ::: "xmm1");  // as AVX code of a library leaves them
#endif
}

}  // namespace

// Work on rows starts with the upper halves unused, whatever ran before on
// the window's thread: SSE code after dirty AVX state runs several times slower.
TEST(RunBoth, HeavyWorkStartsWithTheUpperVectorHalvesCleared)
{
    DirtyUpperHalves();
    const std::optional<bool> dirty = UpperHalvesInUse();
    if (!dirty || !*dirty)
        GTEST_SKIP() << "this processor does not report the vector registers' state";
    std::optional<bool> here, aside, small;
    RunBoth([&] { aside = UpperHalvesInUse(); }, [&] { here = UpperHalvesInUse(); });
    DirtyUpperHalves();
    ForRowHalves(1, 10, [&](int, int) { small = UpperHalvesInUse(); });
    EXPECT_EQ(here, std::optional<bool>(false));
    EXPECT_EQ(aside, std::optional<bool>(false));
    EXPECT_EQ(small, std::optional<bool>(false));
}
