#pragma once
// The HTML 4 character entities: the Unicode character each of the 252 names stands for.

#include <cstddef>
#include <span>
#include <string_view>

namespace kv {

// The longest entity name ("thetasym"): a reader need look at no more letters after '&'.
inline constexpr std::size_t kMaxEntityName = 8;

struct TEntity {
    std::string_view name;
    char32_t ch;
};

// The character of an entity name, or 0 when the name is not one. Case-sensitive, as the names
// are: "Alpha" is U+0391, "alpha" U+03B1.
char32_t EntityChar(std::string_view name);

// Every entity, sorted by name (byte order).
std::span<const TEntity> EntityTable();

}  // namespace kv
