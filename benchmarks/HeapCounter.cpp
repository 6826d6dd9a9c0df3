#include "HeapCounter.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <new>
#include <unordered_map>

namespace {

// Only the benchmark's own thread allocates while counting (the flow graph runs on one thread),
// so relaxed loads and stores suffice and cost no locked instruction.
std::atomic<bool> counting{false};
std::atomic<std::int64_t> current{0};
std::atomic<std::int64_t> peak{0};
// The host's share, kept by the thread that allocates under HostAllocations.
std::int64_t hostCurrent = 0;
std::int64_t hostAtPeak = 0;

// Memory of the bookkeeping itself, taken from malloc so that it is neither counted nor counting.
template <typename T> struct UncountedAllocator {
    using value_type = T;

    UncountedAllocator() = default;

    template <typename U> UncountedAllocator(const UncountedAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        if (void* memory = std::malloc(count * sizeof(T))) {
            return static_cast<T*>(memory);
        }
        throw std::bad_alloc();
    }

    void deallocate(T* memory, std::size_t) noexcept { std::free(memory); }

    template <typename U> bool operator==(const UncountedAllocator<U>&) const noexcept {
        return true;
    }

    template <typename U> bool operator!=(const UncountedAllocator<U>&) const noexcept {
        return false;
    }
};

using HostBlocks = std::unordered_map<void*, std::int64_t, std::hash<void*>, std::equal_to<void*>,
                                      UncountedAllocator<std::pair<void* const, std::int64_t>>>;

// Never destroyed: blocks may be freed after main returns.
HostBlocks& TheHostBlocks() {
    static HostBlocks* blocks = new (std::malloc(sizeof(HostBlocks))) HostBlocks;
    return *blocks;
}

void Count(void* block) {
    if (block == nullptr || !counting.load(std::memory_order_relaxed)) {
        return;
    }
    const auto size = static_cast<std::int64_t>(malloc_usable_size(block));
    if (bench::HostAllocations::Active()) {
        TheHostBlocks()[block] = size;
        hostCurrent += size;
    }
    const std::int64_t now = current.load(std::memory_order_relaxed) + size;
    current.store(now, std::memory_order_relaxed);
    if (now > peak.load(std::memory_order_relaxed)) {
        peak.store(now, std::memory_order_relaxed);
        hostAtPeak = hostCurrent;
    }
}

void Uncount(void* block) {
    if (block == nullptr || !counting.load(std::memory_order_relaxed)) {
        return;
    }
    current.store(current.load(std::memory_order_relaxed) -
                      static_cast<std::int64_t>(malloc_usable_size(block)),
                  std::memory_order_relaxed);
    HostBlocks& hostBlocks = TheHostBlocks();
    if (!hostBlocks.empty()) {
        auto found = hostBlocks.find(block);
        if (found != hostBlocks.end()) {
            hostCurrent -= found->second;
            hostBlocks.erase(found);
        }
    }
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

thread_local int HostAllocations::depth = 0;

HeapMeasurement::HeapMeasurement() {
    current.store(0, std::memory_order_relaxed);
    peak.store(0, std::memory_order_relaxed);
    TheHostBlocks().clear();
    hostCurrent = 0;
    hostAtPeak = 0;
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

std::int64_t HeapMeasurement::HostBytesAtPeak() const {
    return hostAtPeak;
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
