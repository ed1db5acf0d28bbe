#include "html/reader/names.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

#include "platform/codec.h"

namespace kv {
namespace {

// Two names are one when their folded forms are equal; the folded forms, compared byte by byte
// as unsigned, order the list.
std::string Folded(std::string_view name) {
    return text::lowerText(name);
}

// The first eight bytes of a folded name as a number that orders as the bytes do (shorter
// names padded with zeros): most comparisons of a sort end there, without touching the names.
uint64_t Prefix(const std::string& key) {
    uint64_t prefix = 0;
    for (size_t i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    return prefix;
}

}  // namespace

int CompareTextNoCase(std::string_view a, std::string_view b) {
    return Folded(a).compare(Folded(b));
}

int TIDNameList::Sorted(int index) const {
    if (!ordered_) {
        std::vector<std::pair<uint64_t, int>> keys(entries_.size());
        for (size_t i = 0; i < keys.size(); ++i)
            keys[i] = {Prefix(entries_[i].key), static_cast<int>(i)};
        std::sort(keys.begin(), keys.end(), [this](const auto& a, const auto& b) {
            if (a.first != b.first) return a.first < b.first;
            return entries_[a.second].key < entries_[b.second].key;
        });
        order_.resize(keys.size());
        for (size_t i = 0; i < keys.size(); ++i) order_[i] = keys[i].second;
        ordered_ = true;
    }
    return order_[index];
}

bool TIDNameList::IndexOf(std::string_view name, int& index) const {
    if (!entries_.empty()) Sorted(0);
    const std::string key = Folded(name);
    auto it = std::lower_bound(
        order_.begin(), order_.end(), key,
        [this](int entry, const std::string& wanted) { return entries_[entry].key < wanted; });
    index = static_cast<int>(it - order_.begin());
    return it != order_.end() && entries_[*it].key == key;
}

void TIDNameList::Release(Entry& entry) {
    if (entry.owned) delete entry.object;
    entry.object = nullptr;
}

size_t TIDNameList::Slot(std::string_view key, size_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const int entry = slots_[slot];
        if (entry < 0) return slot;
        if (entries_[entry].hash == hash && entries_[entry].key == key) return slot;
    }
}

// Keeps the index at most half full, so that probe runs stay short.
void TIDNameList::Grow() {
    slots_.assign(std::max<size_t>(64, slots_.size() * 2), -1);
    const size_t mask = slots_.size() - 1;
    for (size_t i = 0; i < entries_.size(); ++i) {
        size_t slot = entries_[i].hash & mask;
        while (slots_[slot] >= 0) slot = (slot + 1) & mask;
        slots_[slot] = static_cast<int>(i);
    }
}

void TIDNameList::Register(std::string_view name, TIDObject* object, bool owned) {
    std::string key = Folded(name);
    const size_t hash = std::hash<std::string_view>()(key);
    if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
    const size_t slot = Slot(key, hash);
    if (slots_[slot] < 0) {
        entries_.push_back(Entry{std::string(name), std::move(key), hash, object, owned});
        slots_[slot] = static_cast<int>(entries_.size() - 1);
        ordered_ = false;
        return;
    }
    Entry& entry = entries_[slots_[slot]];
    std::string spelling(name);  // before the old object goes: a failed copy changes nothing
    if (entry.object != object) Release(entry);
    entry.name = std::move(spelling);
    entry.object = object;
    entry.owned = owned;
}

void TIDNameList::AddObject(std::string_view name, TIDObject* object) {
    Register(name, object, dynamic_cast<TChPosObj*>(object) != nullptr);
}

void TIDNameList::AddChPos(std::string_view name, int sourceIndex) {
    auto object = std::make_unique<TChPosObj>(document_, sourceIndex);
    Register(name, object.get(), true);
    object.release();  // the list owns it now
}

void TIDNameList::Clear() {
    for (auto& entry : entries_) Release(entry);
    entries_.clear();
    slots_.clear();
    order_.clear();
    ordered_ = true;
}

TIDObject* TIDNameList::Find(std::string_view name) const {
    if (entries_.empty()) return nullptr;
    const std::string key = Folded(name);
    const int entry = slots_[Slot(key, std::hash<std::string_view>()(key))];
    return entry < 0 ? nullptr : entries_[entry].object;
}

TIDObject* TIDNameList::FindAsWindows1251(std::string_view name) const {
    const std::string wanted = cp1251::lowerText(text::toWindows1251(name));
    for (int i = 0; i < Count(); ++i)
        if (cp1251::lowerText(text::toWindows1251(Name(i))) == wanted) return Object(i);
    return nullptr;
}

}  // namespace kv
