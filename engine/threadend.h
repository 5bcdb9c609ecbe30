#ifndef KOLVEX_ENGINE_THREADEND_H
#define KOLVEX_ENGINE_THREADEND_H

#include <mutex>

class QThread;

/// Ends a worker thread so that everything it did is seen by the thread that waited for it. Qt 5
/// hands that over through a futex that the thread sanitizer cannot see, so the worker's last act
/// is to take this lock, and the waiting thread takes it after the wait.
///
/// Create it in the thread that will wait, before the worker starts.
class ThreadEnd
{
public:
    explicit ThreadEnd(QThread *thread);
    ThreadEnd(const ThreadEnd &) = delete;
    ThreadEnd &operator=(const ThreadEnd &) = delete;

    /// Quits the thread's event loop and waits until the thread has finished.
    void quitAndWait();

private:
    QThread *thread;
    std::mutex mutex;
};

#endif
