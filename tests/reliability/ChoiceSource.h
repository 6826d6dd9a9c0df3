#pragma once

// Where the random operations come from: a seeded engine for the model-based suite, the fuzzer's
// bytes for the fuzz target. Both answer the same questions, so one generator serves both.

#include <cstddef>
#include <cstdint>
#include <random>

namespace datagraph::reliability {

class ChoiceSource {
public:
    virtual ~ChoiceSource() = default;

    /// A number in [0, n); 0 when n is 0 or 1.
    virtual std::uint32_t Below(std::uint32_t n) = 0;

    /// True with the given chance in percent.
    bool Chance(std::uint32_t percent) { return Below(100) < percent; }
};

class RandomChoices : public ChoiceSource {
public:
    explicit RandomChoices(std::uint32_t seed)
        : engine(seed) {}

    // Plain modulo rather than a distribution: the same seed gives the same sequence with every
    // standard library.
    std::uint32_t Below(std::uint32_t n) override {
        return n <= 1 ? 0 : static_cast<std::uint32_t>(engine() % n);
    }

private:
    std::mt19937 engine;
};

/// Reads one byte per choice (two for more than 256 alternatives); answers 0 once the bytes are
/// used up.
class ByteChoices : public ChoiceSource {
public:
    ByteChoices(const std::uint8_t* data, std::size_t size)
        : data(data)
        , size(size) {}

    std::uint32_t Below(std::uint32_t n) override {
        if (n <= 1) {
            return 0;
        }
        std::uint32_t raw = Next();
        if (n > 256) {
            raw = raw << 8 | Next();
        }
        return raw % n;
    }

    bool Exhausted() const { return position >= size; }

private:
    std::uint32_t Next() { return position < size ? data[position++] : 0; }

    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

} // namespace datagraph::reliability
