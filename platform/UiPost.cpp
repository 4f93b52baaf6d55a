#include "UiPost.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <deque>
#include <mutex>
#include <utility>

namespace platform {
namespace {

class UiQueue final : public QObject {
    Q_OBJECT
public:
    void Push(QObject* context, std::function<void()> fn) {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            wake = queue_.empty();
            queue_.emplace_back(QPointer<QObject>(context), std::move(fn));
        }
        if (wake)
            QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
    }

    Q_INVOKABLE void Drain() {
        std::deque<std::pair<QPointer<QObject>, std::function<void()>>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(queue_);
        }
        for (auto& [context, fn] : batch)
            if (context)
                fn();
    }

private:
    std::mutex mutex_;
    std::deque<std::pair<QPointer<QObject>, std::function<void()>>> queue_;
};

UiQueue& Queue() {
    static UiQueue* queue = [] {
        auto* q = new UiQueue;
        if (QCoreApplication* app = QCoreApplication::instance())
            q->moveToThread(app->thread());
        return q;
    }();
    return *queue;
}

// Made on the main thread as the application starts, before any worker can
// post: the object is then never handed between threads itself.
void MakeQueue() {
    Queue();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(MakeQueue)

void PostToUiThread(QObject* context, std::function<void()> fn) {
    Queue().Push(context, std::move(fn));
}

} // namespace platform

#include "UiPost.moc"
