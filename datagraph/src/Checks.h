#pragma once

// Checks on hot paths: the message text is only built when the check fails.

#include <datagraph/Foundation.h>

namespace datagraph {

inline void CheckThat(bool condition, const char* message) {
    if (!condition) {
        throw GraphException(message);
    }
}

} // namespace datagraph
