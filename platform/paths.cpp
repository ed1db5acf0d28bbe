#include "platform/paths.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <cstdlib>
#include <system_error>

#include "platform/codec.h"

namespace kv::paths {
namespace fs = std::filesystem;

std::string folderOf(std::string_view executablePath) {
    const auto cut = executablePath.find_last_of('/');
    if (cut == std::string_view::npos) return "./";
    return std::string(executablePath.substr(0, cut + 1));
}

std::string programFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        const QStringList args = QCoreApplication::arguments();
        if (!args.isEmpty()) return folderOf(text::fromQString(args.first()));
        return "./";
    }
    return folderOf(text::fromPath(exe));
}

std::string windowsFolder() {
    fs::path base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) {
        base = state;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = fs::path(home) / ".local" / "state";
    } else {
        base = fs::temp_directory_path();
    }
    fs::path folder = base / "kvarnelya";
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::string result = text::fromPath(folder);
    if (result.empty() || result.back() != '/') result.push_back('/');
    return result;
}

bool setCurrentFolder(std::string_view folder) {
    return ::chdir(text::toPath(folder).c_str()) == 0;
}

namespace {

std::optional<fs::path> matchInFolder(const fs::path& folder, const std::string& name) {
    const std::string wanted = text::upperText(std::string(name));
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string candidate = it->path().filename().native();
        if (text::upperText(std::string(candidate)) == wanted) return folder / candidate;
    }
    return std::nullopt;
}

}  // namespace

std::optional<fs::path> findCaseInsensitive(const fs::path& path) {
    std::error_code ec;
    if (fs::exists(path, ec)) return path;
    fs::path result = path.root_path();
    for (const fs::path& element : path.relative_path()) {
        const std::string name = element.native();
        if (name == "." || name == "..") {
            result /= element;
            continue;
        }
        if (fs::exists(result / element, ec)) {
            result /= element;
            continue;
        }
        auto match = matchInFolder(result, name);
        if (!match) return std::nullopt;
        result = *match;
    }
    return result;
}

}  // namespace kv::paths
