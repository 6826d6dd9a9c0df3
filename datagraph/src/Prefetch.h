#pragma once

// A hint that memory the code reads a little later should come into the cache now. A prefetch
// never faults, so any address will do, null and stale ones included.

namespace datagraph {

/// Asks for `lines` cache lines of 64 bytes from `start` on.
inline void PrefetchLines(const void* start, int lines = 1) {
#if defined(__GNUC__)
    const char* line = static_cast<const char*>(start);
    for (int k = 0; k < lines; ++k) {
        __builtin_prefetch(line + 64 * k);
    }
    // A prefetch alone does not count as an effect: without this, the optimiser takes a
    // look-ahead for a function without effects and drops the call.
    __asm__ __volatile__("");
#else
    static_cast<void>(start);
    static_cast<void>(lines);
#endif
}

} // namespace datagraph
