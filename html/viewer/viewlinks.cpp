// The viewer's links: resolving a link's name to a file, following a click, visited links and
// their colour, the history record, the deferred form submit and the cursor set.

#include <QCursor>
#include <QPixmap>
#include <QTimer>
#include <array>
#include <filesystem>

#include "html/viewer/htmlview.h"
#include "html/viewer/paintpanel.h"
#include "platform/codec.h"
#include "platform/messages.h"

namespace kv {

namespace {

// %XX escapes become their bytes; decoding stops at a '%' that starts the text, that has fewer
// than two characters after it or that is not followed by two hexadecimal digits. Escaped bytes
// that form no UTF-8 are Windows-1251, as old documents wrote them.
std::string DecodeEscapes(std::string_view text, bool windows1251 = false) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const bool room = i > 0 && i + 2 < text.size();
        const int hi = room ? cp1251::hexDigit(text[i + 1]) : -1;
        const int lo = room ? cp1251::hexDigit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
            out += text.substr(i);
            break;
        }
        const auto byte = static_cast<unsigned char>(hi * 16 + lo);
        if (windows1251)
            text::appendCharacter(out, cp1251::toUnicode(byte));
        else
            out += static_cast<char>(byte);
        i += 2;
    }
    if (!windows1251 && text::toQString(out).toStdString() != out) return DecodeEscapes(text, true);
    return out;
}

bool IsLatinLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The path a file: URL names, '/' separated: "file:///a/b" and "file://localhost/a/b" name
// /a/b, a drive after the root (file:///c|/x) stands without it, another host makes a network
// name (//host/x) and "file:x" without slashes names x beside the document. `rooted` tells
// whether the URL named a path from the root of this machine.
std::string FileUrlPath(std::string s, bool& rooted) {
    s.erase(0, 5);  // "file:"
    if (s.starts_with("//")) {
        const std::size_t slash = s.find('/', 2);
        const std::string host = s.substr(2, slash == std::string::npos ? slash : slash - 2);
        const std::string path = slash == std::string::npos ? "/" : s.substr(slash);
        s = host.empty() || text::lowerText(host) == "localhost" ? path : "//" + host + path;
    }
    const bool drive = s.size() > 2 && s[0] == '/' && IsLatinLetter(s[1]) &&
                       (s[2] == '|' || s[2] == ':') && (s.size() == 3 || s[3] == '/');
    if (drive) s.erase(0, 1);
    rooted = s.starts_with("/") && !s.starts_with("//");
    return s;
}

// A link's name as a path: escapes decoded, a file: URL turned into the path it names, '|' for
// ':' and '/' as the only separator. `rooted` is set for a file: URL of a path from the root,
// which the server root does not move.
std::string ToFilePath(std::string_view name, bool* rooted = nullptr) {
    std::string s = DecodeEscapes(name);
    std::replace(s.begin(), s.end(), '\\', '/');
    bool fromRoot = false;
    if (text::lowerText(s.substr(0, 5)) == "file:") s = FileUrlPath(std::move(s), fromRoot);
    if (rooted) *rooted = fromRoot;
    std::replace(s.begin(), s.end(), '|', ':');
    return s;
}

std::string FullPath(const std::string& path) {
    std::error_code error;
    return text::fromPath(std::filesystem::absolute(text::toPath(path), error).lexically_normal());
}

bool SameNoCase(const std::string& a, const std::string& b) {
    return text::upperText(a) == text::upperText(b);
}

}  // namespace

// ---------------------------------------------------------------- names

std::string THtmlView::ExpandName(const std::string& name) const {
    bool rooted = false;
    std::string s = ToFilePath(TrimView(name), &rooted);
    if (rooted) return FullPath(s);
    if (!s.empty() && s.front() == '/' && !(s.size() > 1 && s[1] == '/'))
        return FullPath(serverRoot_.empty() ? s : ToFilePath(serverRoot_) + s);
    // A drive form (c:/x), a network name (//host/x) and "DosPath" bases stand as they are.
    if ((s.size() > 1 && s[1] == ':') || s.starts_with("//") || SameNoCase(base_, "DosPath"))
        return s;
    if (!base_.empty()) {
        std::string base = ToFilePath(base_);
        if (!base.empty() && base.back() != '/') base = base.substr(0, base.find_last_of('/') + 1);
        return FullPath(base + s);
    }
    return FullPath(currentFile_.substr(0, currentFile_.find_last_of('/') + 1) + s);
}

// ---------------------------------------------------------------- following a link

void THtmlView::LinkClick() {
    if (OnHotSpotClick) {
        bool handled = false;
        OnHotSpotClick(this, url_, handled);
        if (handled) return;
    }
    const int position = Position();
    std::string s = url_;
    if (s.starts_with("#")) {
        if (PositionTo(s)) {
            RecordHistory(currentFile_, title_, currentFileKind_, position);
            AddVisited(currentFile_ + s);
        }
        return;
    }
    std::string dest;
    if (const std::size_t hash = s.find('#'); hash != std::string::npos) {
        dest = s.substr(hash, 256);
        s.erase(hash);
    }
    s = ExpandName(s);
    const std::size_t dot = s.find_last_of('.');
    const std::size_t slash = s.find_last_of('/');
    const std::string ext = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                                ? ""
                                : text::upperText(s.substr(dot, 5));
    try {
        if (ext == ".HTM" || ext == ".HTML") {
            if (s != currentFile_) {
                LoadFromFile(s + dest);  // records the history itself
                AddVisited(s + dest);
            } else if (PositionTo(dest)) {
                RecordHistory(currentFile_, title_, TFileKind::ftHTML, position);
                AddVisited(s + dest);
            }
        } else if (ext == ".BMP" || ext == ".GIF" || ext == ".JPG" || ext == ".JPEG" ||
                   ext == ".PNG") {
            LoadImageFile(s);
        }
    } catch (const Exception& failure) {
        // From inside a mouse event: reported here, the article shown stays as it was.
        messages::showError(failure.what());
    }
}

// ---------------------------------------------------------------- visited links

std::string THtmlView::LinkAddress(const TFontObj& run) const {
    const std::string& url = run.Target().Url;
    return url.starts_with("#") ? currentFile_ + url : ExpandName(url);
}

void THtmlView::AddVisited(const std::string& address) {
    if (visitedMaxCount_ <= 0) return;
    const auto found = std::find(visited_.begin(), visited_.end(), address);
    if (found == visited_.begin() && found != visited_.end()) return;
    if (found == visited_.end()) {
        bool changed = false;
        for (TFontObj* run : doc_.LinkRuns)
            if (run->HasUrl() && SameNoCase(LinkAddress(*run), address)) {
                run->SetVisited(true);
                changed = true;
            }
        if (changed) panel_->update();
    } else {
        visited_.erase(found);
    }
    visited_.insert(visited_.begin(), address);
    if (int(visited_.size()) > visitedMaxCount_) visited_.resize(std::size_t(visitedMaxCount_));
}

void THtmlView::MarkVisitedLinks() {
    if (visited_.empty()) return;
    std::vector<std::string> upper;
    upper.reserve(visited_.size());
    for (const std::string& address : visited_) upper.push_back(text::upperText(address));
    for (TFontObj* run : doc_.LinkRuns) {
        if (!run->HasUrl()) continue;
        const std::string address = text::upperText(LinkAddress(*run));
        if (std::find(upper.begin(), upper.end(), address) != upper.end()) run->SetVisited(true);
    }
}

void THtmlView::SetVisitedMaxCount(int count) {
    count = std::max(count, 0);
    if (count == visitedMaxCount_) return;
    visitedMaxCount_ = count;
    if (count == 0) {
        visited_.clear();
        for (TFontObj* run : doc_.LinkRuns) run->SetVisited(false);
        panel_->update();
    } else if (int(visited_.size()) > count) {
        visited_.resize(std::size_t(count));
    }
}

// ---------------------------------------------------------------- history

void THtmlView::RecordHistory(const std::string& file, const std::string& title, TFileKind kind,
                              int position) {
    if (historyMaxCount_ < 1 || currentFile_.empty()) return;
    if (file == currentFile_ && kind == currentFileKind_ && position == Position()) return;
    if (!historyFiles_.empty() && !file.empty()) {
        const auto i = std::size_t(historyIndex_);
        historyFiles_[i] = file;
        historyTitles_[i] = title;
        historyPositions_[i] = PositionObj{position, kind};
        historyFiles_.erase(historyFiles_.begin(), historyFiles_.begin() + historyIndex_);
        historyTitles_.erase(historyTitles_.begin(), historyTitles_.begin() + historyIndex_);
        historyPositions_.erase(historyPositions_.begin(),
                                historyPositions_.begin() + historyIndex_);
    }
    historyIndex_ = 0;
    historyFiles_.insert(historyFiles_.begin(), currentFile_);
    historyTitles_.insert(historyTitles_.begin(), title_);
    historyPositions_.insert(historyPositions_.begin(), PositionObj{Position(), currentFileKind_});
    if (int(historyFiles_.size()) > historyMaxCount_) {
        const auto cut = std::ptrdiff_t(historyMaxCount_);
        historyFiles_.erase(historyFiles_.begin() + cut);
        historyTitles_.erase(historyTitles_.begin() + cut);
        historyPositions_.erase(historyPositions_.begin() + cut);
    }
    if (OnHistoryChange) OnHistoryChange(this);
}

void THtmlView::SetHistoryMaxCount(int count) {
    if (count < 0 || count == historyMaxCount_) return;
    const bool lowered = count < historyMaxCount_;
    historyMaxCount_ = count;
    if (!lowered) return;
    const bool had = !historyFiles_.empty();
    historyFiles_.clear();
    historyTitles_.clear();
    historyPositions_.clear();
    historyIndex_ = 0;
    if (had && OnHistoryChange) OnHistoryChange(this);
}

// ---------------------------------------------------------------- form submit

// The event fires after the click that caused it has been fully handled.
void THtmlView::SubmitForm(const std::string& action, const std::string& target,
                           const std::string& encType, const std::string& method,
                           const std::vector<std::string>& results) {
    if (!OnFormSubmit) return;
    QTimer::singleShot(0, this, [this, action, target, encType, method, results] {
        if (OnFormSubmit) OnFormSubmit(this, action, target, encType, method, results);
    });
}

// ---------------------------------------------------------------- cursors

const QCursor& ViewerCursor(int id) {
    struct TCursorFile {
        const char* name;
        int hotX, hotY;
    };
    static const std::array<TCursorFile, 5> files{
        {{"hand", 5, 0}, {"ibeam", 5, 8}, {"updown", 7, 7}, {"uponly", 7, 7}, {"downonly", 7, 8}}};
    static const std::array<QCursor, 6> cursors = [] {
        std::array<QCursor, 6> set{QCursor(Qt::ArrowCursor),   QCursor(Qt::PointingHandCursor),
                                   QCursor(Qt::IBeamCursor),   QCursor(Qt::SizeVerCursor),
                                   QCursor(Qt::UpArrowCursor), QCursor(Qt::SizeVerCursor)};
        for (std::size_t i = 0; i < files.size(); ++i) {
            const QPixmap picture(QString(":/cursors/%1.png").arg(files[i].name));
            if (!picture.isNull()) set[i + 1] = QCursor(picture, files[i].hotX, files[i].hotY);
        }
        return set;
    }();
    return cursors[std::size_t(id) < cursors.size() ? std::size_t(id) : 0];
}

}  // namespace kv
