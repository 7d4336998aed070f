#include "files/record_pipe.h"

#include <condition_variable>
#include <cstring>
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

// Records in their order: the first `count` of `records`. The places after
// them keep the room of records that went before, for the producer to fill.
struct Batch {
    std::vector<PoiRecord> records;
    size_t count = 0;
};

// A record emptied for a reader to fill again: its coordinates' and deferred
// texts' room kept, the rest let go. Room kept is bounded (4 KiB a text, a
// few batches of records): what the pipe holds stays a few megabytes however
// long the input and whatever its longest texts.
void Empty(PoiRecord &r)
{
    constexpr qsizetype kKept = 4096;
    const auto empty = [](QByteArray &b) {
        if (b.capacity() > kKept)
            b = QByteArray();
        else if (!b.isEmpty())
            b.resize(0);
    };
    empty(r.lat);
    empty(r.lon);
    empty(r.deferredBytes);
    r.deferred.clear();
    static const PoiRecord kFresh;
    r.deferredAs = kFresh.deferredAs;
    for (QString PoiRecord::*t : kRecordTexts)
        if (!(r.*t).isNull())
            r.*t = QString();
    r.links.clear();
    r.otherXml.clear();
    if (!r.extensionsXml.isNull())
        r.extensionsXml = QByteArray();
    r.properties.clear();
}

// The batch the producer of this thread fills, and whether its next place is out (RecordToFill).
struct Filler {
    Batch batch;
    bool lent = false;
    // The next place, emptied; the batch's room for all its records is made beforehand, so places never move.
    PoiRecord &next()
    {
        if (batch.count == batch.records.size())
            batch.records.emplace_back();
        PoiRecord &r = batch.records[batch.count];
        Empty(r);
        return r;
    }
};
thread_local Filler *tFiller = nullptr;

class BatchQueue {
public:
    // False when the consumer stopped.
    bool push(Batch &&batch)
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
    bool pop(Batch &batch)
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
    // A batch written, back to the producer to be filled again.
    void giveBack(Batch &&batch)
    {
        std::lock_guard lock(mutex_);
        spent_.push_back(std::move(batch));
    }
    // One given back, when there is one.
    bool takeSpent(Batch &batch)
    {
        std::lock_guard lock(mutex_);
        if (spent_.empty())
            return false;
        batch = std::move(spent_.front());
        spent_.pop_front();
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
    std::deque<Batch> batches_, spent_;
    bool done_ = false, stopped_ = false;
};

}  // namespace

void PipeRecords(const std::function<void(const std::function<void(PoiRecord &&)> &)> &produce,
                 const std::function<void(PoiRecord &&)> &consume)
{
    BatchQueue queue;
    std::exception_ptr failure;
    std::thread producer([&] {
        Filler filler;
        tFiller = &filler;
        // Room for a whole batch at once: growing would move every record again.
        const auto fresh = [&] {
            if (!queue.takeSpent(filler.batch)) {
                filler.batch = Batch();
                filler.batch.records.reserve(kBatchRecords);
            }
            filler.batch.count = 0;
        };
        fresh();
        qsizetype bytes = 0;
        const auto send = [&] {
            if (!queue.push(std::move(filler.batch)))
                throw Stopped();
            fresh();
            bytes = 0;
        };
        try {
            produce([&](PoiRecord &&r) {
                bytes += Weight(r);
                Batch &batch = filler.batch;
                // A record filled in its place is there already; another is moved to the next place.
                if (batch.count == batch.records.size() || &r != &batch.records[batch.count])
                    filler.next() = std::move(r);
                ++batch.count;
                if (batch.count >= kBatchRecords || bytes >= kBatchBytes)
                    send();
            });
            if (filler.batch.count > 0)
                send();
        } catch (const Stopped &) {
        } catch (...) {
            failure = std::current_exception();
            queue.push(std::move(filler.batch));  // what was read before the failure
        }
        tFiller = nullptr;
        queue.finish();
    });
    try {
        Batch batch;
        while (queue.pop(batch)) {
            for (size_t i = 0; i < batch.count; ++i)
                consume(std::move(batch.records[i]));
            queue.giveBack(std::move(batch));
        }
    } catch (...) {
        queue.stop();
        producer.join();
        throw;
    }
    producer.join();
    if (failure)
        std::rethrow_exception(failure);
}

RecordToFill::RecordToFill()
{
    if (tFiller && !tFiller->lent) {
        record_ = &tFiller->next();
        tFiller->lent = lent_ = true;
    } else {
        record_ = &own_.emplace();
    }
}

RecordToFill::~RecordToFill()
{
    if (lent_ && tFiller)
        tFiller->lent = false;
}

void SetBytes(QByteArray &to, QByteArrayView bytes)
{
    if (to.isNull() || bytes.size() > to.capacity()) {
        to = bytes.toByteArray();
        return;
    }
    to.resize(bytes.size());
    if (!bytes.isEmpty())
        std::memcpy(to.data(), bytes.data(), size_t(bytes.size()));
}

}  // namespace orvalis
