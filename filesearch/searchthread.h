#pragma once
// The worker thread of a threaded search and its hand-over to the interface thread.

#include <QThread>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "filesearch/fileinfo.h"

namespace kv {

class TFindFile;

// Runs calls of the worker on the interface thread, one at a time, while the worker waits.
// A terminate request releases a waiting worker unless its call is already running; a call
// that has not begun by then is dropped.
class ThreadChannel : public std::enable_shared_from_this<ThreadChannel> {
public:
    // Worker side. False when the call did not run because of a terminate request; a failure
    // raised by the call is raised again here.
    bool RunOnInterface(QObject* context, const std::function<void()>& call);
    // Any thread.
    void Terminate();
    bool Terminated() const;

private:
    void RunPosted(std::uint64_t serial);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool terminated_ = false;
    const std::function<void()>* pending_ = nullptr;
    std::uint64_t posted_ = 0;  // serial of the last call handed over
    std::uint64_t done_ = 0;    // serial of the last call that ran
    bool running_ = false;
    std::exception_ptr failure_;
};

class TSearchThread : public QThread {
public:
    // context lives on the interface thread.
    TSearchThread(TFindFile& owner, QObject* context);
    void Terminate() { channel_->Terminate(); }

protected:
    void run() override;

private:
    class Host;

    TFindFile& owner_;
    QObject* context_;  // not owned
    std::shared_ptr<ThreadChannel> channel_;
};

}  // namespace kv
