#pragma once

// The graph's records, owned and found by GUID.
//
// Identifiers are looked up on every edit and query, and a graph holds hundreds of thousands of
// them, so a lookup's cost is its cache misses. A node-based hash table pays three or four per
// lookup (bucket, the node before, the node, the next node to see where the bucket ends); this
// table keeps each id's hash beside its record pointer in one flat array probed linearly, so a
// lookup costs one miss in the slots and, when the hashes match, a read of the record's id, which
// a caller that finds the record reads next anyway. A lookup that fails almost never touches a
// record. A record answers `Id()` with the id it is filed under, from the moment it is filed.
// The standard and Boost 1.74 offer no flat table; this one is small and does only what the
// graph needs.
//
// The records are also kept in a dense array, oldest first except where an erased record's place
// went to the newest. Walks over every record go through it, which visits records about as they
// lie in memory, and a record's place there lets a copy of the table find its counterpart without
// hashing. A record keeps its place in a member `std::size_t place`, which the table maintains.
//
// A record may be made with room behind it, or inside such room of another record: a node and
// the pins it is made with then lie in one block, which a traversal reads in one sweep. A record
// says whether it lives in another's room in a member `bool inBlock`, also kept by the table;
// the owner of the room must outlive the records in it.

#include <datagraph/Foundation.h>

#include "Hidden.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <utility>
#include <vector>

namespace datagraph {

/// Where a record is made: in memory of the table's own, with `spareBytes` behind the record, or
/// at `insideBlock`, in the spare bytes that another record owns.
struct RecordStorage {
    std::size_t spareBytes = 0;
    void* insideBlock = nullptr;
};

// Identifiers come from documents a host loads, so they may have been chosen to collide. The hash
// is keyed with random bits drawn once per process, and every bit of both halves of an id reaches
// every bit of the result (two folded 64-by-64-bit multiplications), so that ids cannot be chosen
// to collide without knowing the key; it still costs only a few multiplications per lookup.
struct DATAGRAPH_HIDDEN GuidHash {
    struct Key {
        std::uint64_t low;
        std::uint64_t high;
        std::uint64_t mix;
    };

    /// Drawn from the operating system's entropy on first use.
    static const Key& ProcessKey() {
        static const Key key = [] {
            std::random_device entropy;
            auto draw = [&entropy] {
                return static_cast<std::uint64_t>(entropy()) << 32 ^ entropy();
            };
            return Key{draw(), draw(), draw()};
        }();
        return key;
    }

    GuidHash()
        : key(ProcessKey()) {}

    std::size_t operator()(const GUID& id) const noexcept {
        std::uint64_t low;
        std::uint64_t high;
        std::memcpy(&low, id.data, sizeof low);
        std::memcpy(&high, id.data + sizeof low, sizeof high);
        const std::uint64_t folded = Fold(low ^ key.low, high ^ key.high);
        return static_cast<std::size_t>(Fold(folded ^ key.mix, 0x9E3779B97F4A7C15ULL));
    }

private:
    static std::uint64_t Fold(std::uint64_t a, std::uint64_t b) noexcept {
        __extension__ using Wide = unsigned __int128;
        const Wide product = static_cast<Wide>(a) * b;
        return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
    }

    Key key;
};

template <typename Record> class DATAGRAPH_HIDDEN RecordTable {
    // The hash rather than the id: a third smaller, so more of the slots stay in the caches, and
    // growing the table needs no hashing.
    struct Slot {
        std::size_t hash;
        Record* record; // null: the slot is free
    };

public:
    RecordTable() = default;
    RecordTable(const RecordTable&) = delete;
    RecordTable& operator=(const RecordTable&) = delete;

    ~RecordTable() { Clear(); }

    std::size_t Size() const noexcept { return dense.size(); }

    bool Empty() const noexcept { return dense.empty(); }

    /// The record at `place` (below Size()).
    Record& At(std::size_t place) const noexcept { return *dense[place]; }

    Record* Find(const GUID& id) const noexcept {
        const std::size_t at = SlotOf(id);
        return at != NotFound ? slots[at].record : nullptr;
    }

    /// Makes a record for `id` from `arguments`, unless `id` already has one: then nothing is
    /// made and null is returned. If making the record throws, the table is as it was.
    template <typename... Arguments> Record* TryEmplace(const GUID& id, Arguments&&... arguments) {
        return TryEmplaceIn(RecordStorage(), id, std::forward<Arguments>(arguments)...);
    }

    template <typename... Arguments>
    Record* TryEmplaceIn(RecordStorage storage, const GUID& id, Arguments&&... arguments) {
        // Grown first, so that one probe finds either the id or its slot, and nothing after the
        // record is made can throw; a refused id leaves only spare room behind.
        if ((dense.size() + 1) * 4 > slots.size() * 3) {
            Rehash(slots.empty() ? 16 : slots.size() * 2);
        }
        GrowDense();
        const std::size_t hashed = hash(id);
        std::size_t at = HomeOf(hashed);
        for (; slots[at].record != nullptr; at = Next(at)) {
            if (Names(slots[at], hashed, id)) {
                return nullptr;
            }
        }
        Record* record = Make(storage, std::forward<Arguments>(arguments)...);
        record->place = dense.size();
        dense.push_back(record);
        slots[at] = Slot{hashed, record};
        return record;
    }

    /// Makes a record from `arguments` at the end of the dense array, without an entry by id:
    /// for building a copy of another table, which IndexLike then completes. Until then the record
    /// is only reached through At; if making it throws, the table is as it was.
    template <typename... Arguments>
    Record& AppendUnindexed(RecordStorage storage, Arguments&&... arguments) {
        GrowDense();
        Record* record = Make(storage, std::forward<Arguments>(arguments)...);
        record->place = dense.size();
        dense.push_back(record);
        return *record;
    }

    /// Gives every record the entry by id that the record at the same place of `other` has, in
    /// the same slot: a copy's index costs one pass over the slots instead of a search per record.
    /// Both tables must hold records of the same ids at the same places, none of them indexed here.
    void IndexLike(const RecordTable& other) {
        std::vector<Slot> copied(other.slots.size(), Slot{0, nullptr});
        for (std::size_t at = 0; at < copied.size(); ++at) {
            if (const Record* source = other.slots[at].record) {
                copied[at] = Slot{other.slots[at].hash, dense[source->place]};
            }
        }
        slots.swap(copied);
    }

    /// Destroys the record of `id`, if there is one.
    void Erase(const GUID& id) noexcept {
        if (Record* doomed = Detach(id)) {
            Destroy(doomed); // last: a record's destructor may run host code that reads the table
        }
    }

    /// Takes the record of `id` out of the table without destroying it, as Erase does otherwise;
    /// the record keeps its former place, which Reattach needs to put it back there.
    Record* Detach(const GUID& id) noexcept {
        const std::size_t at = SlotOf(id);
        if (at == NotFound) {
            return nullptr;
        }
        Record* detached = slots[at].record;
        RemoveSlot(at);
        Record* last = dense.back();
        dense[detached->place] = last;
        last->place = detached->place;
        dense.pop_back();
        return detached;
    }

    /// Makes room for `count` more records, so that Reattach cannot fail; may throw, and then
    /// changes nothing.
    void Reserve(std::size_t count) {
        std::size_t slotCount = slots.empty() ? 16 : slots.size();
        while ((dense.size() + count) * 4 > slotCount * 3) {
            slotCount *= 2;
        }
        if (dense.capacity() < dense.size() + count) {
            dense.reserve(dense.size() + count);
        }
        if (slotCount != slots.size()) {
            Rehash(slotCount);
        }
    }

    /// Puts a detached record back under `id` at its former place, undoing Detach exactly when
    /// the records are as Detach left them: the record now standing at that place moves back to
    /// the end. Needs room made by Reserve; the id must be free.
    void Reattach(const GUID& id, Record* record) noexcept {
        const std::size_t hashed = hash(id);
        std::size_t at = HomeOf(hashed);
        while (slots[at].record != nullptr) {
            at = Next(at);
        }
        slots[at] = Slot{hashed, record};
        const std::size_t place = record->place < dense.size() ? record->place : dense.size();
        if (place == dense.size()) {
            record->place = place;
            dense.push_back(record);
            return;
        }
        Record* displaced = dense[place];
        displaced->place = dense.size();
        dense.push_back(displaced);
        dense[place] = record;
        record->place = place;
    }

    /// Destroys a record that Detach took out, as Erase would have.
    static void DestroyDetached(Record* record) noexcept { Destroy(record); }

    /// Destroys every record, oldest first, and frees the slots.
    void Clear() noexcept {
        std::vector<Record*> doomed;
        doomed.swap(dense);
        std::vector<Slot>().swap(slots);
        for (Record* record : doomed) {
            Destroy(record);
        }
    }

    void Swap(RecordTable& other) noexcept {
        slots.swap(other.slots);
        dense.swap(other.dense);
    }

    /// Calls `visit` with every record, oldest first (see above); `visit` must not add or remove
    /// records.
    template <typename Visit> void ForEach(Visit&& visit) const {
        for (Record* record : dense) {
            visit(*record);
        }
    }

private:
    static constexpr std::size_t NotFound = ~std::size_t(0);

    std::size_t SlotOf(const GUID& id) const noexcept {
        if (slots.empty()) {
            return NotFound;
        }
        const std::size_t hashed = hash(id);
        std::size_t at = HomeOf(hashed);
        while (slots[at].record != nullptr && !Names(slots[at], hashed, id)) {
            at = Next(at);
        }
        return slots[at].record != nullptr ? at : NotFound;
    }

    // Linear probing needs no tombstones: later entries of the run that would be cut off from
    // their home slot move back into the gap.
    void RemoveSlot(std::size_t at) noexcept {
        std::size_t gap = at;
        for (std::size_t next = Next(gap); slots[next].record != nullptr; next = Next(next)) {
            const std::size_t home = HomeOf(slots[next].hash);
            const bool homeIsInGapToNext =
                gap <= next ? (gap < home && home <= next) : (gap < home || home <= next);
            if (!homeIsInGapToNext) {
                slots[gap] = slots[next];
                gap = next;
            }
        }
        slots[gap].record = nullptr;
    }

    /// Room in the dense array for one more record, so that adding it cannot throw.
    void GrowDense() {
        if (dense.size() == dense.capacity()) {
            dense.reserve(dense.empty() ? 16 : dense.size() * 2);
        }
    }

    template <typename... Arguments>
    static Record* Make(RecordStorage storage, Arguments&&... arguments) {
        void* memory = storage.insideBlock != nullptr
                           ? storage.insideBlock
                           : ::operator new(sizeof(Record) + storage.spareBytes);
        Record* record;
        try {
            record = new (memory) Record(std::forward<Arguments>(arguments)...);
        } catch (...) {
            if (storage.insideBlock == nullptr) {
                ::operator delete(memory);
            }
            throw;
        }
        record->inBlock = storage.insideBlock != nullptr;
        return record;
    }

    static void Destroy(Record* record) noexcept {
        const bool ownMemory = !record->inBlock;
        record->~Record();
        if (ownMemory) {
            ::operator delete(record);
        }
    }

    /// Whether the slot, in use, holds the record of `id`, whose hash is `hashed`.
    static bool Names(const Slot& slot, std::size_t hashed, const GUID& id) noexcept {
        return slot.hash == hashed && slot.record->Id() == id;
    }

    std::size_t HomeOf(std::size_t hashed) const noexcept { return hashed & (slots.size() - 1); }

    std::size_t Next(std::size_t at) const noexcept { return (at + 1) & (slots.size() - 1); }

    void Rehash(std::size_t slotCount) {
        std::vector<Slot> old(slotCount, Slot{0, nullptr});
        old.swap(slots);
        for (const Slot& slot : old) {
            if (slot.record != nullptr) {
                std::size_t at = HomeOf(slot.hash);
                while (slots[at].record != nullptr) {
                    at = Next(at);
                }
                slots[at] = slot;
            }
        }
    }

    GuidHash hash;
    std::vector<Slot> slots; // a power of two in size, at most three quarters in use
    std::vector<Record*> dense;
};

} // namespace datagraph
