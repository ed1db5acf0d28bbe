#include "filesearch/searchthread.h"

#include "filesearch/findfile.h"
#include "filesearch/walker.h"

namespace kv {

bool ThreadChannel::RunOnInterface(QObject* context, const std::function<void()>& call) {
    std::uint64_t serial = 0;
    {
        std::lock_guard lock(mutex_);
        if (terminated_) return false;
        pending_ = &call;
        serial = ++posted_;
    }
    QMetaObject::invokeMethod(
        context, [channel = shared_from_this(), serial] { channel->RunPosted(serial); },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return done_ == serial || (terminated_ && !running_); });
    if (done_ != serial) {
        pending_ = nullptr;  // the posted call finds nothing to run
        return false;
    }
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return true;
}

void ThreadChannel::RunPosted(std::uint64_t serial) {
    const std::function<void()>* call = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (serial != posted_ || pending_ == nullptr) return;
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
        pending_ = nullptr;
        done_ = serial;
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
        const bool ran = thread_.channel_->RunOnInterface(
            thread_.context_, [this] { ignoreFolder_ = !thread_.owner_.DoNewFolder(folder_); });
        return ran && !ignoreFolder_;
    }
    void Found(const std::string& folder, const TSearchRec& entry) override {
        folder_ = folder;
        entry_ = entry;
        thread_.channel_->RunOnInterface(thread_.context_,
                                         [this] { thread_.owner_.DoFound(folder_, entry_); });
    }
    bool Stopped() const override {
        return thread_.owner_.aborted_ || thread_.channel_->Terminated();
    }

private:
    TSearchThread& thread_;
    std::string folder_;   // the folder being reported
    TSearchRec entry_;     // copy of the entry being reported
    bool ignoreFolder_ = false;
};

TSearchThread::TSearchThread(TFindFile& owner, QObject* context)
    : owner_(owner), context_(context), channel_(std::make_shared<ThreadChannel>()) {}

void TSearchThread::run() {
    Host host(*this);
    try {
        RunSearch(owner_.work_, host);
    } catch (...) {
        owner_.aborted_ = true;
    }
    TFindFile* owner = &owner_;
    QMetaObject::invokeMethod(context_, [owner] { owner->ThreadEnded(); }, Qt::QueuedConnection);
}

}  // namespace kv
