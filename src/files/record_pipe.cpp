#include "files/record_pipe.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace orvalis {

namespace {

// A batch closes at this many records or about this many bytes of them.
constexpr size_t kBatchRecords = 512;
constexpr qsizetype kBatchBytes = 1 << 20;
constexpr size_t kBatchesWaiting = 4;

qsizetype Weight(const PoiRecord &r)
{
    qsizetype n = r.lat.size() + r.lon.size() + r.extensionsXml.size();
    for (QString PoiRecord::*t : kRecordTexts)
        n += 2 * (r.*t).size();
    for (const PoiLink &l : r.links)
        n += 2 * (l.href.size() + l.text.size() + l.type.size());
    for (const QByteArray &x : r.otherXml)
        n += x.size();
    for (const PoiProperty &p : r.properties)
        n += 2 * p.key.size() + p.json.size();
    n += r.deferredBytes.size();
    return n;
}

struct Stopped {};  // the consumer gave up: the producer unwinds

class BatchQueue {
public:
    // False when the consumer stopped.
    bool push(std::vector<PoiRecord> &&batch)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || batches_.size() < kBatchesWaiting; });
        if (stopped_)
            return false;
        batches_.push_back(std::move(batch));
        changed_.notify_all();
        return true;
    }
    // False once the producer is done and every batch was taken.
    bool pop(std::vector<PoiRecord> &batch)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return done_ || !batches_.empty(); });
        if (batches_.empty())
            return false;
        batch = std::move(batches_.front());
        batches_.pop_front();
        changed_.notify_all();
        return true;
    }
    void finish()
    {
        std::lock_guard lock(mutex_);
        done_ = true;
        changed_.notify_all();
    }
    void stop()
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        batches_.clear();
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<PoiRecord>> batches_;
    bool done_ = false, stopped_ = false;
};

}  // namespace

void PipeRecords(const std::function<void(const std::function<void(PoiRecord &&)> &)> &produce,
                 const std::function<void(PoiRecord &&)> &consume)
{
    BatchQueue queue;
    std::exception_ptr failure;
    std::thread producer([&] {
        // Room for a whole batch at once: growing would move every record again.
        std::vector<PoiRecord> batch;
        batch.reserve(kBatchRecords);
        qsizetype bytes = 0;
        const auto send = [&] {
            if (!queue.push(std::move(batch)))
                throw Stopped();
            batch = {};
            batch.reserve(kBatchRecords);
            bytes = 0;
        };
        try {
            produce([&](PoiRecord &&r) {
                bytes += Weight(r);
                batch.push_back(std::move(r));
                if (batch.size() >= kBatchRecords || bytes >= kBatchBytes)
                    send();
            });
            if (!batch.empty())
                send();
        } catch (const Stopped &) {
        } catch (...) {
            failure = std::current_exception();
            queue.push(std::move(batch));  // what was read before the failure
        }
        queue.finish();
    });
    try {
        std::vector<PoiRecord> batch;
        while (queue.pop(batch))
            for (PoiRecord &r : batch)
                consume(std::move(r));
    } catch (...) {
        queue.stop();
        producer.join();
        throw;
    }
    producer.join();
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace orvalis
