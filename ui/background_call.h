#pragma once
// Runs blocking work (a platform exchange) away from the window thread and hands its result
// back to the window thread.
//
// The job runs on one of a few worker threads kept for the whole process; its result is
// delivered on the window thread to `done`, but only while `context` still exists: a window
// closed before its answer came simply never sees it. The job owns everything it uses (copy
// the client and the texts into it); nothing it touches may belong to a window.
#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <utility>

namespace tendrix::ui {

// Queues `work` on the background workers. Used by RunInBackground; callable from any thread.
void PostBackgroundWork(std::function<void()> work);

// Number of jobs queued or running (tests wait for it to reach 0).
int BackgroundJobsPending();

template <class Result>
void RunInBackground(QObject* context, std::function<Result()> job,
                     std::function<void(Result)> done) {
    QPointer<QObject> guard(context);
    // The result travels in a shared_ptr so the functor posted to the window thread stays
    // copyable whatever the result type.
    PostBackgroundWork([guard, job = std::move(job), done = std::move(done)]() mutable {
        auto result = std::make_shared<Result>(job());
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) return;
        QMetaObject::invokeMethod(
            app,
            [guard, done = std::move(done), result]() mutable {
                if (guard) done(std::move(*result));
            },
            Qt::QueuedConnection);
    });
}

}  // namespace tendrix::ui
