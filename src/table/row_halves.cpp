#include "table/row_halves.h"

#include <QRunnable>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <unistd.h>

namespace orvalis {

namespace {

// The task, on the caller's stack: the pool does not delete it, and the
// caller waits for it to end.
class AsideTask : public QRunnable {
public:
    explicit AsideTask(const std::function<void()> &fn) : fn_(fn) { setAutoDelete(false); }
    void run() override
    {
        ClearUpperVectorState();
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

void ClearUpperVectorState()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx)
        asm volatile("vzeroupper");  // the lower halves, all the program's code uses, stay
#endif
}

void RunBoth(const std::function<void()> &aside, const std::function<void()> &here)
{
    // A pool of our own, whose workers no other work holds; they stay a while
    // after a call, so that calls one after the other start no thread.
    static QThreadPool pool;
    static const bool sized = (pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount())), true);
    (void)sized;
    // A forked child has none of the workers its pool counts on.
    static const pid_t owner = getpid();
    AsideTask task(aside);
    // Never queued: a task waiting behind busy workers could wait for ever
    // when those workers wait on halves of their own.
    const bool started = getpid() == owner && pool.tryStart(&task);
    std::exception_ptr hereFailure;
    ClearUpperVectorState();
    try {
        here();
    } catch (...) {
        hereFailure = std::current_exception();
    }
    if (!started)
        task.run();  // every worker busy: here, after the other half
    task.done.acquire();
    if (hereFailure)
        std::rethrow_exception(hereFailure);
    if (task.failure)
        std::rethrow_exception(task.failure);
}

}  // namespace orvalis
