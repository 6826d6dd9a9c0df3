#pragma once

// The library's one spelling of a check. The message text is only built when the check fails,
// which matters on hot paths; a check without a message passes an empty text.

#include <datagraph/Foundation.h>

namespace datagraph {

inline void CheckThat(bool condition, const char* message) {
    if (!condition) {
        throw GraphException(message);
    }
}

} // namespace datagraph
