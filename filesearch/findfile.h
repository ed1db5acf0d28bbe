#pragma once
// TFindFile: a non-visual component that finds files under one or more folders by name mask,
// attributes, size, dates and a phrase contained in the file's bytes, and reports each hit.
// It searches on the calling thread or on a worker thread (TSearchThread) whose every report is
// handed to the interface thread, the thread that created the component, and run there while
// the worker waits. A threaded search needs that thread's event loop running.
//
// Every member is used on the interface thread. The component may be destroyed while its
// worker runs (it stops the worker and waits for it), and from its OnComplete handler, but not
// from inside its other handlers.

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cache/trigramindex.h"
#include "filesearch/fileinfo.h"
#include "filesearch/walker.h"
#include "platform/errors.h"

namespace kv {

class EFindFileError : public Exception {
public:
    using Exception::Exception;
};

enum TFileAttribute { ffArchive, ffReadonly, ffHidden, ffSystem, ffDirectory };

// A set of TFileAttribute members.
class TFileAttributes {
public:
    constexpr TFileAttributes() = default;
    constexpr TFileAttributes(std::initializer_list<TFileAttribute> members) {
        for (const auto member : members) members_ |= 1u << member;
    }
    bool Contains(TFileAttribute member) const { return (members_ & (1u << member)) != 0; }
    void Include(TFileAttribute member) { members_ |= 1u << member; }
    void Exclude(TFileAttribute member) { members_ &= ~(1u << member); }
    // The sum of the file-system attribute bits of the members.
    std::uint32_t Mask() const;
    bool operator==(const TFileAttributes&) const = default;

private:
    unsigned members_ = 0;
};

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TFindFile;
class TSearchThread;
class TSearchContext;

using TFoundEvent =
    std::function<void(TFindFile* Sender, const std::string& Folder, const TSearchRec& FileInfo)>;
using TNewFolderEvent =
    std::function<void(TFindFile* Sender, const std::string& Folder, bool& IgnoreFolder)>;
using TNotifyEvent = std::function<void(TFindFile* Sender)>;

class TFindFile {
public:
    TFindFile();
    // Asks a running worker to stop and waits for it; OnComplete is then not called.
    virtual ~TFindFile();
    TFindFile(const TFindFile&) = delete;
    TFindFile& operator=(const TFindFile&) = delete;

    // Name mask without folder part; raises EFindFileError for a value with one.
    const std::string& Filename() const { return filename_; }
    void SetFilename(const std::string& value);
    // Folders separated by ";"; raises EFindFileError for a value holding "*" or "?".
    const std::string& Location() const { return location_; }
    void SetLocation(const std::string& value);
    // Full path masks used instead of Location + Filename when not empty.
    const std::vector<std::string>& IncludeFiles() const { return includeFiles_; }
    void SetIncludeFiles(const std::vector<std::string>& lines) { includeFiles_ = lines; }
    const std::vector<std::string>& ExcludeFiles() const { return excludeFiles_; }
    void SetExcludeFiles(const std::vector<std::string>& lines) { excludeFiles_ = lines; }

    bool Subfolders = true;
    TFileAttributes Attributes{ffArchive, ffReadonly, ffHidden, ffSystem};
    bool ExactAttribute = false;
    TDateTime ModifiedBefore = 0, ModifiedAfter = 0;
    TDateTime CreatedBefore = 0, CreatedAfter = 0;
    TDateTime AccessedBefore = 0, AccessedAfter = 0;
    std::int32_t SizeMin = 0, SizeMax = 0;
    std::string Containing;  // empty: no content test
    bool IgnoreCase = true;  // folds a-z only
    // With IgnoreCase, also fold the Windows-1251 letters А-Я onto а-я and Ё onto ё.
    bool FoldCyrillic = false;
    // Containing is text (UTF-8), looked for in its Windows-1251 and its UTF-8 bytes under the
    // same folds; else it is looked for as the bytes it is.
    bool AlsoUtf8 = false;
    bool Threaded = false;
    // An index of the files' trigrams, when one is ready: files it holds unchanged and rules
    // out for the phrase are not read. Hits and their order are the same with it or without.
    std::shared_ptr<const cache::TrigramIndex> Index;
    // The files of a folder as the walk that the index was built from listed them: a search of
    // that folder by the same mask, with subfolders, takes its files from here when the index
    // can tell for the phrase, and lists no folder. Same hits, same order, same events.
    std::shared_ptr<const SearchCatalogue> Catalogue;
    // The catalogue's files mapped to the index's documents (CatalogueDocuments) when the index
    // was handed over: files the index rules out are then skipped without a look at the disk,
    // and folders holding no other file in their subtree are not entered (no OnNewFolder).
    std::shared_ptr<const std::vector<std::int32_t>> Documents;

    TThreadPriority ThreadPriority() const { return threadPriority_; }
    // Applied at once to a running worker; a worker started later begins at normal priority.
    void SetThreadPriority(TThreadPriority value);

    TFoundEvent OnFound;
    TNewFolderEvent OnNewFolder;
    TNotifyEvent OnComplete;

    // Starts a search; does nothing while one runs. Not threaded: returns after the search and
    // OnComplete. Threaded: returns once the worker is started.
    void Execute();
    // Stops the running search at its next check; OnComplete still follows.
    void Abort();
    bool Busy() const { return busy_; }
    bool Aborted() const { return aborted_; }

    // Test seams: the block size of the content reads; the helper threads scanning folders
    // ahead of the reports (by default one fewer than the cores, at most three).
    void SetReadBlockSize(size_t size) { readBlockSize_ = size; }
    void SetScanThreads(unsigned count) { scanThreads_ = count; }

protected:
    virtual void DoFound(const std::string& folder, const TSearchRec& entry);
    // True when the folder is to be searched.
    virtual bool DoNewFolder(const std::string& folder);
    virtual void DoComplete();
    virtual void SearchInThread();
    virtual void SearchInPlace();

private:
    friend class TSearchThread;
    friend class TSearchContext;
    class InPlaceHost;
    // True when the catalogue holds the files of the work's one target.
    bool CatalogueServes(const SearchWork& work) const;
    // The files the index leaves for the phrase in every form searched; nothing when it
    // cannot tell.
    std::optional<std::vector<bool>> Candidates() const;
    // The worker's end, run on the interface thread.
    void ThreadEnded();

    std::string filename_ = "*.*";
    std::string location_;
    std::vector<std::string> includeFiles_;
    std::vector<std::string> excludeFiles_;
    TThreadPriority threadPriority_ = tpNormal;
    size_t readBlockSize_ = ContentReader::kDefaultBlockSize;
    unsigned scanThreads_;

    bool busy_ = false;
    bool destroying_ = false;
    std::atomic<bool> aborted_{false};
    SearchWork work_;
    // Lives on the interface thread; the worker's reports are posted to it.
    std::unique_ptr<TSearchContext> context_;
    std::unique_ptr<TSearchThread> thread_;
};

}  // namespace kv
