#pragma once
// The text rules of a search: target lists, name masks, exclusion masks, date bounds and the
// folder text of reports. All texts are Windows-1251; the separator is '/'.

#include <string>
#include <string_view>
#include <vector>

#include "filesearch/fileinfo.h"

namespace kv {

// The name mask as the directory enumeration matches it: "*" any run of characters (dots
// included), "?" exactly one character, a-z without case. A mask ending in ".*" also matches
// names without that extension, so "*.*" matches every name.
bool NameMatchesMask(std::string_view name, std::string_view mask);

// The exclusion rule: a mask's folder part matches any folder ending in it, and a "*" in the
// name part stops at the name's first ".". Letters a-z compare without case.
bool PathMatchesMask(std::string_view path, std::string_view mask);

// V against the After (A) and Before (B) bounds, 0 meaning none. A whole-number bound compares
// dates only, a bound below 1 compares times of day only, both inclusive.
bool DateInBounds(TDateTime value, TDateTime after, TDateTime before);

// Target list from a location text (folders separated by ";") and a name mask: each folder
// expanded against the current folder (an empty piece is the current folder), ending in '/',
// followed by the mask; duplicates (a-z without case) dropped.
std::vector<std::string> BuildTargetList(std::string_view location, std::string_view filename);

// A folder expanded to a full path against the process's current folder ("" is the current
// folder), "." and ".." resolved, ending in '/'.
std::string ExpandFolder(std::string_view folder);

// Folder and name part of a path: the folder part keeps its trailing separator.
std::string_view FolderPart(std::string_view path);
std::string_view NamePart(std::string_view path);

// The folder text of a report: a trailing separator is dropped from a text longer than one
// character, unless the character before it is ":".
std::string ReportFolderText(std::string_view folder);

}  // namespace kv
