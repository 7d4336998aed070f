#include "table/row_halves.h"

#include <QRunnable>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <algorithm>

namespace orvalis {

namespace {

// The task, on the caller's stack: the pool does not delete it, and the
// caller waits for it to end.
class AsideTask : public QRunnable {
public:
    explicit AsideTask(const std::function<void()> &fn) : fn_(fn) { setAutoDelete(false); }
    void run() override
    {
        try {
            fn_();
        } catch (...) {
            failure = std::current_exception();
        }
        done.release();  // the last touch: the caller may go on at once
    }
    std::exception_ptr failure;
    QSemaphore done;

private:
    const std::function<void()> &fn_;
};

}  // namespace

void RunBoth(const std::function<void()> &aside, const std::function<void()> &here)
{
    // A pool of our own, never destroyed (its idle workers end by themselves):
    // a caller that is a task of another pool cannot wait on itself.
    static QThreadPool *const pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        return p;
    }();
    AsideTask task(aside);
    if (!pool->tryStart(&task)) {
        // Every worker busy (calls nested or at once): one after the other here.
        here();
        aside();
        return;
    }
    std::exception_ptr hereFailure;
    try {
        here();
    } catch (...) {
        hereFailure = std::current_exception();
    }
    task.done.acquire();
    if (hereFailure)
        std::rethrow_exception(hereFailure);
    if (task.failure)
        std::rethrow_exception(task.failure);
}

}  // namespace orvalis
