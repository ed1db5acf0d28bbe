#pragma once
// Helpers of the search tests: a recorder of every event and an event loop run until the
// search completes.

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <string>
#include <vector>

#include "filesearch/findfile.h"
#include "platform/codec.h"
#include "tests/common/testutil.h"

namespace kvtest {

struct SearchRecorder {
    std::vector<std::string> hits;     // folder + "/" + name, Windows-1251
    std::vector<std::string> folders;  // every OnNewFolder folder
    std::vector<kv::TSearchRec> records;
    int completions = 0;
    bool offInterfaceThread = false;

    void Attach(kv::TFindFile& finder) {
        finder.OnFound = [this](kv::TFindFile*, const std::string& folder,
                                const kv::TSearchRec& entry) {
            Check();
            hits.push_back(folder + "/" + entry.Name);
            records.push_back(entry);
        };
        finder.OnNewFolder = [this](kv::TFindFile*, const std::string& folder, bool&) {
            Check();
            folders.push_back(folder);
        };
        finder.OnComplete = [this](kv::TFindFile*) {
            Check();
            ++completions;
        };
    }
    void Check() {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            offInterfaceThread = true;
    }
};

// Runs the event loop until the recorder has seen OnComplete (at most timeoutMs).
inline bool WaitForCompletion(const SearchRecorder& recorder, int timeoutMs = 20000) {
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(timeoutMs);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (recorder.completions > 0) loop.quit();
    });
    poll.start(1);
    if (recorder.completions == 0) loop.exec();
    return recorder.completions > 0;
}

// Lets queued events run for a while, e.g. to see that nothing more arrives.
inline void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline std::string Location(const TempFolder& folder) {
    return kv::text::fromPath(folder.Path());
}

}  // namespace kvtest
