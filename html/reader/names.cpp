#include "html/reader/names.h"

#include <algorithm>

#include "platform/codec.h"

namespace kv {

int CompareTextNoCase(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int ca = cp1251::lower(static_cast<unsigned char>(a[i]));
        const int cb = cp1251::lower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca - cb;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool TIDNameList::IndexOf(std::string_view name, int& index) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), name,
                               [](const Entry& entry, std::string_view key) {
                                   return CompareTextNoCase(entry.name, key) < 0;
                               });
    index = static_cast<int>(it - entries_.begin());
    return it != entries_.end() && CompareTextNoCase(it->name, name) == 0;
}

void TIDNameList::Release(Entry& entry) {
    if (entry.owned) delete entry.object;
    entry.object = nullptr;
}

void TIDNameList::AddObject(std::string_view name, TIDObject* object) {
    const bool owned = dynamic_cast<TChPosObj*>(object) != nullptr;
    int index = 0;
    if (IndexOf(name, index)) {
        if (entries_[index].object != object) Release(entries_[index]);
        entries_[index] = Entry{std::string(name), object, owned};
        return;
    }
    entries_.insert(entries_.begin() + index, Entry{std::string(name), object, owned});
}

void TIDNameList::AddChPos(std::string_view name, int sourceIndex) {
    AddObject(name, new TChPosObj(document_, sourceIndex));
}

void TIDNameList::Clear() {
    for (auto& entry : entries_) Release(entry);
    entries_.clear();
}

TIDObject* TIDNameList::Find(std::string_view name) const {
    int index = 0;
    return IndexOf(name, index) ? entries_[index].object : nullptr;
}

}  // namespace kv
