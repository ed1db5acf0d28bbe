#pragma once
// Where things are: the program folder, the stand-in for the Windows folder, the process's
// current folder, and the case-insensitive look-up of files authored on Windows.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kv::paths {

// Folder of the running executable, in Windows-1251, always ending in '/'.
std::string programFolder();
// Same, computed from the executable path given (used when /proc is not there, and in tests).
std::string folderOf(std::string_view executablePath);

// The folder that stands in for the Windows folder: $XDG_STATE_HOME/kvarnelya, by default
// ~/.local/state/kvarnelya; created when missing. Ends in '/'. Windows-1251.
std::string windowsFolder();

// Makes the folder (Windows-1251 name) the process's current folder; false when it cannot.
bool setCurrentFolder(std::string_view folder);

// The path of an existing file: the name as given when it exists, otherwise the first entry
// of its folder whose name matches case-insensitively (each path element in turn).
std::optional<std::filesystem::path> findCaseInsensitive(const std::filesystem::path& path);

}  // namespace kv::paths
