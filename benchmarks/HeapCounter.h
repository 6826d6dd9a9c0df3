#pragma once

// Heap accounting for the memory figures. The benchmark binary replaces the global operator new
// and delete; they count only while a HeapMeasurement is alive, so timed runs pay nothing but a
// predictable branch. Blocks are counted at their usable size, which is what they really occupy.
//
// A block allocated while a HostAllocations is alive is the host's; every other block counted is
// the library's (or, for the other systems, the system's own). The host's blocks are remembered
// until they are freed, so that the split holds whoever frees them.

#include <cstddef>
#include <cstdint>

namespace bench {

class HeapMeasurement {
public:
    HeapMeasurement();
    ~HeapMeasurement();
    HeapMeasurement(const HeapMeasurement&) = delete;
    HeapMeasurement& operator=(const HeapMeasurement&) = delete;

    /// The most bytes held at once since the measurement began, over what was held then.
    std::int64_t PeakBytes() const;
    /// The bytes held now over what was held when the measurement began.
    std::int64_t CurrentBytes() const;
    /// Of PeakBytes, those in blocks that host code allocated, at the moment of the peak.
    std::int64_t HostBytesAtPeak() const;
};

/// While alive, what this thread allocates is counted as the host's: wrapped around the host's
/// own code, such as a node function's Execute that the library calls. May be nested.
class HostAllocations {
public:
    HostAllocations() noexcept { ++depth; }

    ~HostAllocations() { --depth; }

    HostAllocations(const HostAllocations&) = delete;
    HostAllocations& operator=(const HostAllocations&) = delete;

    static bool Active() noexcept { return depth != 0; }

private:
    static thread_local int depth;
};

} // namespace bench
