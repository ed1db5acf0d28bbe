#pragma once
// The search's index, brought up to date after the main window is shown: on a helper thread at
// the lowest priority, from the articles the start-up walk listed (those unchanged since the
// last start keep their postings, the rest are read). Once it is ready, the search window's
// component takes its files from the walk's catalogue and rules files out with the index; until
// then, and for a search already running, it scans.

#include <QObject>
#include <atomic>
#include <filesystem>
#include <thread>

#include "app/contentindex.h"
#include "filesearch/findfile.h"

namespace kv {

class SearchIndexer : public QObject {
    Q_OBJECT
public:
    // index (the start-up walk's) and finder stay alive as long as this object.
    SearchIndexer(const TContentIndex& index, std::filesystem::path cacheFolder, TFindFile& finder);
    // Asks the helper thread to stop and waits for it; nothing is handed over then.
    ~SearchIndexer() override;

    void Start();
    // True once the index is handed over (or there is none to build).
    bool Done() const { return done_; }

private:
    void Run();

    const TContentIndex& index_;
    std::filesystem::path cacheFolder_;
    TFindFile& finder_;
    std::atomic<bool> stop_{false};
    bool done_ = false;
    std::thread thread_;
};

}  // namespace kv
