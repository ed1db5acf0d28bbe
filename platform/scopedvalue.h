#pragma once
// Gives a variable a value for the length of a scope and puts the old value back when the
// scope ends, by return or by exception, so layout and paint can hand state to nested calls
// without leaving it changed when something throws.

#include <utility>

namespace kv {

template <class T>
class TScopedValue {
public:
    TScopedValue(T& variable, T value)
        : variable_(variable), saved_(std::exchange(variable, std::move(value))) {}
    ~TScopedValue() { variable_ = std::move(saved_); }
    TScopedValue(const TScopedValue&) = delete;
    TScopedValue& operator=(const TScopedValue&) = delete;

    const T& Saved() const { return saved_; }

private:
    T& variable_;
    T saved_;
};

}  // namespace kv
