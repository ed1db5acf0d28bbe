#include "filesearch/findfile.h"

#include <filesystem>
#include <system_error>

#include "filesearch/masks.h"
#include "filesearch/scanpool.h"
#include "filesearch/searchthread.h"
#include "platform/codec.h"

namespace kv {
namespace {

constexpr std::uint32_t kAttributeBits[] = {faArchive, faReadOnly, faHidden, faSysFile,
                                            faDirectory};

// Nice values of the priorities.
int NiceValue(TThreadPriority priority) {
    constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
    return kNice[priority];
}

}  // namespace

std::uint32_t TFileAttributes::Mask() const {
    std::uint32_t mask = 0;
    for (unsigned member = 0; member < std::size(kAttributeBits); ++member) {
        if ((members_ & (1u << member)) != 0) mask |= kAttributeBits[member];
    }
    return mask;
}

// Reports of a search on the calling thread go straight to the component.
class TFindFile::InPlaceHost : public SearchHost {
public:
    explicit InPlaceHost(TFindFile& owner) : owner_(owner) {}
    bool NewFolder(const std::string& folder) override { return owner_.DoNewFolder(folder); }
    void Found(const std::string& folder, const TSearchRec& entry) override {
        owner_.DoFound(folder, entry);
    }
    bool Stopped() const override { return owner_.aborted_; }

private:
    TFindFile& owner_;
};

TFindFile::TFindFile()
    : scanThreads_(DefaultScanThreads()), context_(std::make_unique<TSearchContext>(*this)) {}

TFindFile::~TFindFile() {
    destroying_ = true;
    if (thread_) {
        aborted_ = true;
        thread_.reset();  // terminates and waits
    }
    // Drops the worker's end handler if it is still queued.
    context_.reset();
}

void TFindFile::SetFilename(const std::string& value) {
    if (NamePart(value) != value) throw EFindFileError(value + "\n\rInvalid filename specified");
    filename_ = value;
}

void TFindFile::SetLocation(const std::string& value) {
    if (value.find_first_of("*?") != std::string::npos)
        throw EFindFileError(value + "\n\rlocation cannot to be contained wildcards");
    location_ = value;
}

void TFindFile::SetThreadPriority(TThreadPriority value) {
    threadPriority_ = value;
    if (thread_) thread_->SetPriority(NiceValue(value));
}

void TFindFile::Execute() {
    if (busy_) return;
    busy_ = true;
    try {
        SearchWork work;
        work.attributeMask = Attributes.Mask();
        work.exactAttribute = ExactAttribute;
        work.targets =
            includeFiles_.empty() ? BuildTargetList(location_, filename_) : includeFiles_;
        work.subfolders = Subfolders;
        work.excludes = excludeFiles_;
        work.createdBefore = CreatedBefore;
        work.createdAfter = CreatedAfter;
        work.modifiedBefore = ModifiedBefore;
        work.modifiedAfter = ModifiedAfter;
        work.accessedBefore = AccessedBefore;
        work.accessedAfter = AccessedAfter;
        work.sizeMin = SizeMin;
        work.sizeMax = SizeMax;
        if (!Containing.empty())
            work.phrase =
                std::make_unique<PhraseMatcher>(Containing, IgnoreCase, FoldCyrillic, AlsoUtf8);
        if (auto candidates = Index && work.phrase ? Candidates() : std::nullopt) {
            work.index = Index;
            work.candidates = std::move(*candidates);
            if (CatalogueServes(work)) {
                work.catalogue = Catalogue;
                work.documents = Documents;
            }
        }
        work.readBlockSize = readBlockSize_;
        work.scanThreads = scanThreads_;
        work_ = std::move(work);
    } catch (...) {
        busy_ = false;  // nothing was started
        throw;
    }
    aborted_ = false;
    if (Threaded) {
        SearchInThread();
    } else {
        SearchInPlace();
    }
}

std::optional<std::vector<bool>> TFindFile::Candidates() const {
    if (!AlsoUtf8) return Index->Candidates(Containing);
    const PhraseForms forms = FormsOfPhrase(Containing);
    std::optional<std::vector<bool>> candidates;
    for (const auto& form : {forms.windows1251, forms.utf8}) {
        if (!form) continue;
        const auto more = Index->Candidates(*form);
        if (!more) return std::nullopt;
        if (!candidates) candidates = more;
        for (size_t d = 0; d < candidates->size(); ++d)
            (*candidates)[d] = (*candidates)[d] || (*more)[d];
    }
    return candidates;
}

bool TFindFile::CatalogueServes(const SearchWork& work) const {
    if (!Catalogue || !work.subfolders || work.targets.size() != 1) return false;
    const std::string& target = work.targets.front();
    if (NamePart(target) != Catalogue->mask) return false;
    std::error_code error;
    const auto root =
        std::filesystem::canonical(text::toPath(ExpandFolder(FolderPart(target))), error);
    return !error && root.native() == Catalogue->root;
}

void TFindFile::Abort() {
    aborted_ = true;
    if (thread_) thread_->Terminate();
}

void TFindFile::DoFound(const std::string& folder, const TSearchRec& entry) {
    if (OnFound && !destroying_) OnFound(this, ReportFolderText(folder), entry);
}

bool TFindFile::DoNewFolder(const std::string& folder) {
    bool ignoreFolder = false;
    if (OnNewFolder && !destroying_) OnNewFolder(this, ReportFolderText(folder), ignoreFolder);
    return !ignoreFolder;
}

void TFindFile::DoComplete() {
    work_ = SearchWork();
    busy_ = false;
    if (!OnComplete || destroying_) return;
    // A copy, so that the handler may destroy the component: nothing here is touched after it.
    const TNotifyEvent handler = OnComplete;
    handler(this);
}

void TFindFile::SearchInThread() {
    thread_ = std::make_unique<TSearchThread>(*this, context_.get());
    try {
        thread_->Start();
    } catch (const std::system_error&) {
        // No thread could be made: the search ends before it began.
        thread_.reset();
        aborted_ = true;
        DoComplete();
    }
}

void TFindFile::SearchInPlace() {
    InPlaceHost host(*this);
    try {
        RunSearch(work_, host);
    } catch (...) {
        // Any failure ends the search quietly.
        aborted_ = true;
    }
    DoComplete();
}

void TFindFile::ThreadEnded() {
    thread_.reset();  // the thread has ended or is about to
    DoComplete();
}

}  // namespace kv
