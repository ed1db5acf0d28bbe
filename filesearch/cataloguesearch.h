#pragma once
// The search of a catalogue (see SearchCatalogue): its folders in order and their files, without
// listing a folder; with its files' documents known, only the files the index leaves and the
// folders leading to them. The files are tested (filter, index, phrase) on helper threads and on
// the walk's own thread, a bounded number ahead of the reports; the reports still come in walk
// order, from the walk's thread.

namespace kv {

struct SearchWork;
class SearchHost;

// Files tested and not yet reported, at most.
inline constexpr unsigned kCatalogueAhead = 256;

// Runs the search of work.catalogue; a file gone since the start-up walk is no hit.
void RunCatalogueSearch(const SearchWork& work, SearchHost& host);

}  // namespace kv
