#include "HeapCounter.h"

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

// Only the benchmark's own thread allocates while counting (the flow graph runs on one thread),
// so relaxed loads and stores suffice and cost no locked instruction.
std::atomic<bool> counting{false};
std::atomic<std::int64_t> current{0};
std::atomic<std::int64_t> peak{0};

void Count(void* block) {
    if (block == nullptr || !counting.load(std::memory_order_relaxed)) {
        return;
    }
    const std::int64_t now = current.load(std::memory_order_relaxed) +
                             static_cast<std::int64_t>(malloc_usable_size(block));
    current.store(now, std::memory_order_relaxed);
    if (now > peak.load(std::memory_order_relaxed)) {
        peak.store(now, std::memory_order_relaxed);
    }
}

void Uncount(void* block) {
    if (block == nullptr || !counting.load(std::memory_order_relaxed)) {
        return;
    }
    current.store(current.load(std::memory_order_relaxed) -
                      static_cast<std::int64_t>(malloc_usable_size(block)),
                  std::memory_order_relaxed);
}

void* Allocate(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    Count(block);
    return block;
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    void* block = nullptr;
    const auto align = static_cast<std::size_t>(alignment);
    if (posix_memalign(&block, align < sizeof(void*) ? sizeof(void*) : align,
                       size == 0 ? 1 : size) != 0) {
        throw std::bad_alloc();
    }
    Count(block);
    return block;
}

void Release(void* block) noexcept {
    Uncount(block);
    std::free(block);
}

} // namespace

namespace bench {

HeapMeasurement::HeapMeasurement() {
    current.store(0, std::memory_order_relaxed);
    peak.store(0, std::memory_order_relaxed);
    counting.store(true, std::memory_order_relaxed);
}

HeapMeasurement::~HeapMeasurement() {
    counting.store(false, std::memory_order_relaxed);
}

std::int64_t HeapMeasurement::PeakBytes() const {
    return peak.load(std::memory_order_relaxed);
}

std::int64_t HeapMeasurement::CurrentBytes() const {
    return current.load(std::memory_order_relaxed);
}

} // namespace bench

void* operator new(std::size_t size) {
    return Allocate(size);
}

void* operator new[](std::size_t size) {
    return Allocate(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}

void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}

void operator delete(void* block) noexcept {
    Release(block);
}

void operator delete[](void* block) noexcept {
    Release(block);
}

void operator delete(void* block, std::size_t) noexcept {
    Release(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    Release(block);
}

void operator delete(void* block, std::align_val_t) noexcept {
    Release(block);
}

void operator delete[](void* block, std::align_val_t) noexcept {
    Release(block);
}

void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    Release(block);
}

void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    Release(block);
}
