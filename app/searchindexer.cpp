#include "app/searchindexer.h"

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <memory>

namespace kv {

SearchIndexer::SearchIndexer(const TContentIndex& index, std::filesystem::path cacheFolder,
                             TFindFile& finder)
    : index_(index), cacheFolder_(std::move(cacheFolder)), finder_(finder) {}

SearchIndexer::~SearchIndexer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void SearchIndexer::Start() {
    if (thread_.joinable() || done_) return;
    if (cacheFolder_.empty() || index_.Root().empty()) {
        done_ = true;
        return;
    }
    thread_ = std::thread([this] { Run(); });
}

void SearchIndexer::Run() {
    // Only this thread: the interface keeps its priority.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
    UpdateSearchIndex(index_, cacheFolder_, &stop_);
    // The update's buffers are freed; the memory goes back to the system, not to idle arenas.
    ::malloc_trim(0);
    if (stop_) return;
    auto index = std::make_shared<cache::TrigramIndex>();
    const bool loaded = index->Load(cacheFolder_, index_.Root());
    // Each walked file's document, found once here, so that no search looks at a file the
    // index rules out.
    const auto catalogue = index_.Catalogue();
    auto documents = loaded && catalogue
                         ? std::make_shared<const std::vector<std::int32_t>>(
                               CatalogueDocuments(*catalogue, index_.Articles(), *index))
                         : nullptr;
    // Handed over on the interface thread, which owns the component; dropped with this object.
    QMetaObject::invokeMethod(
        this,
        [this, loaded, catalogue, documents = std::move(documents),
         index = std::shared_ptr<const cache::TrigramIndex>(std::move(index))] {
            if (loaded) {
                finder_.Index = index;
                finder_.Catalogue = catalogue;
                finder_.Documents = documents;
            }
            done_ = true;
        },
        Qt::QueuedConnection);
}

}  // namespace kv
