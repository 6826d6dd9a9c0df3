#pragma once

// Heap accounting for the memory figures. The benchmark binary replaces the global operator new
// and delete; they count only while a HeapMeasurement is alive, so timed runs pay nothing but a
// predictable branch. Blocks are counted at their usable size, which is what they really occupy.

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
};

} // namespace bench
