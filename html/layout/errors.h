#pragma once
// The failure a section raises when it cannot be laid out: the document reports it and drops
// the section.

#include "platform/errors.h"

namespace kv {

class EProcessError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace kv
