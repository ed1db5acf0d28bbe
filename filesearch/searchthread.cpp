#include "filesearch/searchthread.h"

#include <sys/resource.h>
#include <unistd.h>

#include "filesearch/findfile.h"
#include "filesearch/walker.h"

namespace kv {

void TSearchContext::RunReport() {
    if (owner_.thread_) owner_.thread_->Channel().RunPending();
}

void TSearchContext::WorkerEnded() {
    owner_.ThreadEnded();
}

bool ThreadChannel::RunOnInterface(TSearchContext* context, const std::function<void()>& call) {
    std::unique_lock lock(mutex_);
    if (terminated_) return false;
    pending_ = &call;
    done_ = false;
    // Posted under the lock: the interface thread takes it before it touches the posted call.
    QMetaObject::invokeMethod(context, "RunReport", Qt::QueuedConnection);
    changed_.wait(lock, [&] { return done_ || (terminated_ && !running_); });
    pending_ = nullptr;  // a call that has not begun is dropped
    if (!done_) return false;
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return true;
}

void ThreadChannel::RunPending() {
    const std::function<void()>* call = nullptr;
    {
        std::lock_guard lock(mutex_);
        // After a terminate request the waiting call is dropped, even before the worker woke.
        if (pending_ == nullptr || running_ || done_ || terminated_) return;
        call = pending_;
        running_ = true;
    }
    std::exception_ptr failure;
    try {
        (*call)();
    } catch (...) {
        failure = std::current_exception();
    }
    {
        std::lock_guard lock(mutex_);
        running_ = false;
        done_ = true;
        failure_ = failure;
    }
    changed_.notify_all();
}

void ThreadChannel::Terminate() {
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    changed_.notify_all();
}

bool ThreadChannel::Terminated() const {
    std::lock_guard lock(mutex_);
    return terminated_;
}

// Reports of the worker: each runs on the interface thread while the worker waits.
class TSearchThread::Host : public SearchHost {
public:
    explicit Host(TSearchThread& thread) : thread_(thread) {}

    bool NewFolder(const std::string& folder) override {
        folder_ = folder;
        ignoreFolder_ = false;
        const bool ran = thread_.channel_.RunOnInterface(
            thread_.context_, [this] { ignoreFolder_ = !thread_.owner_.DoNewFolder(folder_); });
        return ran && !ignoreFolder_;
    }
    void Found(const std::string& folder, const TSearchRec& entry) override {
        folder_ = folder;
        entry_ = entry;
        thread_.channel_.RunOnInterface(thread_.context_,
                                        [this] { thread_.owner_.DoFound(folder_, entry_); });
    }
    bool Stopped() const override {
        return thread_.owner_.aborted_ || thread_.channel_.Terminated();
    }
    int Priority() const override { return thread_.priority_; }

private:
    TSearchThread& thread_;
    std::string folder_;  // the folder being reported
    TSearchRec entry_;    // copy of the entry being reported
    bool ignoreFolder_ = false;
};

TSearchThread::TSearchThread(TFindFile& owner, TSearchContext* context)
    : owner_(owner), context_(context), priority_(SearchHost::kKeepPriority) {}

TSearchThread::~TSearchThread() {
    Terminate();
    Wait();
}

void TSearchThread::Start() {
    thread_ = std::thread([this] { Run(); });
}

void TSearchThread::Wait() {
    if (thread_.joinable()) thread_.join();
}

void TSearchThread::SetPriority(int priority) {
    priority_ = priority;
    const int tid = tid_;
    if (tid != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(tid), priority);
}

void TSearchThread::Run() {
    tid_ = static_cast<int>(gettid());
    Host host(*this);
    try {
        RunSearch(owner_.work_, host);
    } catch (...) {
        owner_.aborted_ = true;
    }
    tid_ = 0;
    QMetaObject::invokeMethod(context_, "WorkerEnded", Qt::QueuedConnection);
}

}  // namespace kv
