#pragma once

#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <queue>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace orvalis {

// Small fixed-size items put aside as they come and given back in order, for
// an order known only at the end (nearest first, along a route): sorted runs
// in an unnamed temporary file, merged as they pile up and at the end, so
// memory stays a few megabytes whatever the count. `Less` must be a total
// order (ties broken by arrival) for the order to be the same every time.
template <typename T, typename Less>
class SortedSpool {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    // Items sorted in memory before they go to the file as a run; runs merged this many at a time.
    explicit SortedSpool(size_t runItems = size_t(1) << 16, size_t fanIn = 16) : runItems_(std::max<size_t>(runItems, 2)), fanIn_(std::max<size_t>(fanIn, 2)) {}
    ~SortedSpool()
    {
        if (file_)
            std::fclose(file_);
    }
    SortedSpool(const SortedSpool &) = delete;
    SortedSpool &operator=(const SortedSpool &) = delete;

    // False once the temporary file failed (errno says why).
    bool ok() const { return !failed_; }
    qint64 size() const { return count_; }

    void add(const T &item)
    {
        buffer_.push_back(item);
        ++count_;
        if (buffer_.size() >= runItems_)
            spill();
    }

    // Every item, in order; false on a failure of the temporary file. May be called again.
    template <typename Visit>
    bool forEach(Visit &&visit)
    {
        std::sort(buffer_.begin(), buffer_.end(), Less());
        if (runs_.empty()) {
            for (const T &item : buffer_)
                visit(item);
            return ok();
        }
        spill();
        if (!ok())
            return false;
        std::vector<Run> all;
        for (const std::vector<Run> &level : runs_)
            all.insert(all.end(), level.begin(), level.end());
        return merge(all, visit);
    }

private:
    struct Run {
        qint64 at;  // first item, in items
        qint64 count;
    };
    // A run read back a block at a time.
    struct Cursor {
        Run run;
        std::vector<T> block;
        size_t next = 0;
    };
    static constexpr size_t kBlockItems = 1024;

    bool open()
    {
        if (!file_ && !failed_)
            failed_ = (file_ = std::tmpfile()) == nullptr;
        return !failed_;
    }
    bool write(const T *items, size_t n)
    {
        const auto bytes = static_cast<ssize_t>(n * sizeof(T));
        if (!open() || ::pwrite(fileno(file_), items, size_t(bytes), end_ * qint64(sizeof(T))) != bytes)
            failed_ = true;
        end_ += qint64(n);
        return !failed_;
    }
    bool refill(Cursor &c)
    {
        const auto n = static_cast<size_t>(std::min<qint64>(c.run.count, kBlockItems));
        c.block.resize(n);
        c.next = 0;
        const auto bytes = static_cast<ssize_t>(n * sizeof(T));
        if (n > 0 && ::pread(fileno(file_), c.block.data(), size_t(bytes), c.run.at * qint64(sizeof(T))) != bytes)
            failed_ = true;
        c.run.at += qint64(n);
        c.run.count -= qint64(n);
        return !failed_;
    }
    // The runs' items in order, to `visit`.
    template <typename Visit>
    bool merge(const std::vector<Run> &runs, Visit &&visit)
    {
        std::vector<Cursor> cursors;
        cursors.reserve(runs.size());
        for (const Run &r : runs) {
            cursors.push_back({r, {}, 0});
            if (!refill(cursors.back()))
                return false;
        }
        const auto later = [&](size_t a, size_t b) { return Less()(cursors[b].block[cursors[b].next], cursors[a].block[cursors[a].next]); };
        std::priority_queue<size_t, std::vector<size_t>, decltype(later)> heads(later);
        for (size_t i = 0; i < cursors.size(); ++i)
            if (!cursors[i].block.empty())
                heads.push(i);
        while (!heads.empty()) {
            const size_t i = heads.top();
            heads.pop();
            Cursor &c = cursors[i];
            visit(c.block[c.next]);
            if (++c.next == c.block.size() && !refill(c))
                return false;
            if (c.next < c.block.size())
                heads.push(i);
        }
        return ok();
    }
    // The buffer as a sorted run; a level that holds `fanIn_` runs merged into one of the next.
    void spill()
    {
        if (buffer_.empty() || failed_)
            return;
        std::sort(buffer_.begin(), buffer_.end(), Less());
        const Run run{end_, qint64(buffer_.size())};
        write(buffer_.data(), buffer_.size());
        buffer_.clear();
        addRun(0, run);
    }
    void addRun(size_t level, const Run &run)
    {
        if (runs_.size() <= level)
            runs_.resize(level + 1);
        runs_[level].push_back(run);
        if (runs_[level].size() < fanIn_ || failed_)
            return;
        const std::vector<Run> full = std::move(runs_[level]);
        runs_[level].clear();
        const qint64 at = end_;
        std::vector<T> out;
        out.reserve(kBlockItems);
        qint64 count = 0;
        merge(full, [&](const T &item) {
            out.push_back(item);
            ++count;
            if (out.size() == kBlockItems) {
                write(out.data(), out.size());
                out.clear();
            }
        });
        write(out.data(), out.size());
        addRun(level + 1, Run{at, count});
    }

    size_t runItems_, fanIn_;
    std::vector<T> buffer_;
    std::vector<std::vector<Run>> runs_;  // by level: a run of level n merges fanIn_^n spills
    std::FILE *file_ = nullptr;
    qint64 end_ = 0;  // items in the file
    qint64 count_ = 0;
    bool failed_ = false;
};

}  // namespace orvalis
