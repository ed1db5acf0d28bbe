#pragma once
// The failure type of the whole system: an exception that carries a message text
// (Windows-1251, like every text of the system).

#include <stdexcept>
#include <string>

namespace kv {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kv
