// Widgets are touched only on the user-interface thread. Worker threads (the
// capture thread, the report writer) hand their window updates over with
// OnUiThread instead of touching a widget themselves.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <utility>

// Run work at once when called on the thread that owns context; from any other
// thread, queue it there behind the calls queued before it, so a worker's
// updates arrive in the order it made them. A queued call whose context is
// destroyed first is dropped.
template <typename Work>
void OnUiThread(QObject* context, Work&& work)
{
    if (QThread::currentThread() == context->thread())
        work();
    else
        QMetaObject::invokeMethod(context, std::forward<Work>(work), Qt::QueuedConnection);
}
