#pragma once
// The worker thread of a threaded search and its hand-over to the interface thread.

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "filesearch/fileinfo.h"

namespace kv {

class TFindFile;

// Lives on the interface thread: the worker asks it, by queued slot calls, to run its waiting
// report and to end the search. Slots without captured state keep every object that crosses
// the threads inside Qt or behind the channel's mutex.
class TSearchContext : public QObject {
    Q_OBJECT
public:
    explicit TSearchContext(TFindFile& owner) : owner_(owner) {}

public slots:
    void RunReport();
    void WorkerEnded();

private:
    TFindFile& owner_;
};

// Runs calls of the worker on the interface thread, one at a time, while the worker waits.
// A terminate request releases a waiting worker unless its call is already running; a call
// that has not begun by then is dropped.
class ThreadChannel {
public:
    // Worker side. False when the call did not run because of a terminate request; a failure
    // raised by the call is raised again here.
    bool RunOnInterface(TSearchContext* context, const std::function<void()>& call);
    // Interface side: runs the call the worker waits for, if any.
    void RunPending();
    // Any thread.
    void Terminate();
    bool Terminated() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool terminated_ = false;
    const std::function<void()>* pending_ = nullptr;  // the waiting worker's call
    bool running_ = false;
    bool done_ = false;
    std::exception_ptr failure_;
};

// The worker: runs the search steps on its own thread; every report runs on the interface
// thread through the channel. Destroying it waits for the thread.
class TSearchThread {
public:
    TSearchThread(TFindFile& owner, TSearchContext* context);
    ~TSearchThread();
    TSearchThread(const TSearchThread&) = delete;
    TSearchThread& operator=(const TSearchThread&) = delete;

    // Starts the thread; raises std::system_error when none can be made.
    void Start();
    // Waits for the thread to end.
    void Wait();
    void Terminate() { channel_.Terminate(); }
    // Takes effect while the thread runs (as its nice value; raising it may need privileges).
    void SetPriority(int priority);
    ThreadChannel& Channel() { return channel_; }

private:
    class Host;
    void Run();

    TFindFile& owner_;
    TSearchContext* context_;  // not owned
    ThreadChannel channel_;
    std::thread thread_;
    std::atomic<int> tid_{0};    // kernel thread id while running, 0 otherwise
    std::atomic<int> priority_;  // as last set, for the helpers of the search
};

}  // namespace kv
