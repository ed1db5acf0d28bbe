#include "filesearch/masks.h"

#include <cmath>
#include <filesystem>

#include "platform/codec.h"

namespace kv {
namespace {

using cp1251::upperLatin;

bool SameLatin(unsigned char a, unsigned char b) {
    return upperLatin(a) == upperLatin(b);
}

// Plain wildcard match: '*' any run (dots too), '?' one character.
bool WildcardMatch(std::string_view name, std::string_view mask) {
    size_t i = 0, j = 0;
    size_t starJ = std::string_view::npos, starI = 0;
    while (i < name.size()) {
        if (j < mask.size() && mask[j] == '*') {
            starJ = j++;
            starI = i;
        } else if (j < mask.size() &&
                   (mask[j] == '?' || SameLatin(static_cast<unsigned char>(mask[j]),
                                                static_cast<unsigned char>(name[i])))) {
            ++i;
            ++j;
        } else if (starJ != std::string_view::npos) {
            j = starJ + 1;
            i = ++starI;
        } else {
            return false;
        }
    }
    while (j < mask.size() && mask[j] == '*') ++j;
    return j == mask.size();
}

std::string UpperLatin(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(upperLatin(static_cast<unsigned char>(c)));
    return result;
}

bool SameLatinText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!SameLatin(static_cast<unsigned char>(a[i]), static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The name part of an exclusion mask: "*" stops at the name's next ".", "?" never takes ".".
bool ExclusionNameMatch(std::string_view name, std::string_view mask) {
    if (mask.empty()) return true;
    size_t i = 0, j = 0;
    for (;;) {
        if (i >= name.size() || j >= mask.size()) {
            while (j < mask.size() && (mask[j] == '*' || mask[j] == '?')) ++j;
            return i >= name.size() && j >= mask.size();
        }
        const char n = name[i], m = mask[j];
        if (n == m || (m == '?' && n != '.')) {
            ++i;
            ++j;
        } else if (n == '.') {
            if (m == '?') {
                ++j;
            } else if (m == '*') {
                while (j < mask.size() && mask[j] != '.') ++j;
            } else {
                return false;
            }
        } else if (m == '*') {
            ++i;
        } else {
            return false;
        }
    }
}

}  // namespace

bool NameMatchesMask(std::string_view name, std::string_view mask) {
    if (WildcardMatch(name, mask)) return true;
    // "name.*" also finds "name": an empty extension matches ".*".
    return mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
           WildcardMatch(name, mask.substr(0, mask.size() - 2));
}

std::string_view FolderPart(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view NamePart(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool PathMatchesMask(std::string_view path, std::string_view mask) {
    const std::string pathFolder = UpperLatin(FolderPart(path));
    const std::string pathName = UpperLatin(NamePart(path));
    std::string maskFolder = UpperLatin(FolderPart(mask));
    const std::string maskName = UpperLatin(NamePart(mask));
    if (!maskFolder.empty()) {
        if (maskFolder.size() > 1 && maskFolder[1] == ':') {
            const char drive = maskFolder[0];
            if (drive != '*' && drive != '?' && (pathFolder.empty() || drive != pathFolder[0]))
                return false;
            maskFolder.erase(0, 2);
        }
        if (pathFolder.size() < maskFolder.size() ||
            pathFolder.compare(pathFolder.size() - maskFolder.size(), maskFolder.size(),
                               maskFolder) != 0) {
            return false;
        }
    }
    return ExclusionNameMatch(pathName, maskName);
}

bool DateInBounds(TDateTime value, TDateTime after, TDateTime before) {
    const double valueDate = std::trunc(value);
    const double valueTime = value - valueDate;
    if (before != 0) {
        const double date = std::trunc(before);
        if (before == date) {
            if (valueDate > before) return false;
        } else if (date != 0) {
            if (value > before) return false;
        } else if (valueTime > before) {
            return false;
        }
    }
    if (after != 0) {
        const double date = std::trunc(after);
        if (after != date && date != 0) {
            if (value < after) return false;
        } else if (after != date) {
            if (valueTime < after) return false;
        } else if (valueDate < after) {
            return false;
        }
    }
    return true;
}

std::string ExpandFolder(std::string_view folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path full =
        folder.empty() ? fs::current_path(error) : fs::absolute(text::toPath(folder), error);
    if (error) full = text::toPath(folder);
    std::string text = text::fromPath(full.lexically_normal());
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

std::vector<std::string> BuildTargetList(std::string_view location, std::string_view filename) {
    std::string mask(filename);
    if (mask.empty()) mask = "*.*";
    if (mask.find('.') == std::string::npos) mask += ".*";

    std::vector<std::string> targets;
    std::string_view rest = location;
    do {
        const size_t semicolon = rest.find(';');
        const std::string_view piece = rest.substr(0, semicolon);
        rest =
            semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        std::string target = ExpandFolder(piece) + mask;
        bool known = false;
        for (const auto& existing : targets) known = known || SameLatinText(existing, target);
        if (!known) targets.push_back(std::move(target));
    } while (!rest.empty() && rest != ";");
    return targets;
}

std::string ReportFolderText(std::string_view folder) {
    if (folder.size() > 1 && folder.back() == '/' && folder[folder.size() - 2] != ':')
        folder.remove_suffix(1);
    return std::string(folder);
}

}  // namespace kv
