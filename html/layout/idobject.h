#pragma once
// Anything that can carry an id or anchor name answers where it starts in the laid-out document.
// The reader's name list keeps such objects; until the reader module is merged this is the
// same declaration it uses.

namespace kv {

class TIDObject {
public:
    virtual ~TIDObject() = default;
    virtual int TopY() const = 0;
};

}  // namespace kv
