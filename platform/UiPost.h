#pragma once
// Hands work from any thread to the user-interface thread. The work and
// what it captures pass through a mutex-guarded queue, so the hand-over is
// ordered for the thread checker too (Qt's own event queue is not visible to
// it); only an argument-free wake-up goes through Qt's event loop.

#include <QObject>

#include <functional>

namespace platform {

// Runs fn on the application's main thread, later, in posting order; it is
// dropped when context is destroyed first. context must outlive the call.
void PostToUiThread(QObject* context, std::function<void()> fn);

} // namespace platform
