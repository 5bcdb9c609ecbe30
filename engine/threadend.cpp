#include "threadend.h"

#include <QThread>

ThreadEnd::ThreadEnd(QThread *thread) : thread(thread)
{
    // Runs in the worker itself, after its event loop has ended.
    QObject::connect(
        thread, &QThread::finished, thread, [this] { std::lock_guard<std::mutex> lock(mutex); }, Qt::DirectConnection);
}

void ThreadEnd::quitAndWait()
{
    thread->quit();
    thread->wait();
    std::lock_guard<std::mutex> lock(mutex);
}
