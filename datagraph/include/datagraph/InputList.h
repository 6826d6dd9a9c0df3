#pragma once

// A read-only sequence of input values of one type, handed to a function node's callable whose
// last parameter takes every input after the fixed ones (see MakeFunctionNode). It only refers to
// values the caller keeps alive for as long as the list is used, and is read by one thread.

#include <cstddef>
#include <iterator>

namespace datagraph {

/// @brief The values of a function node's list inputs, in the order of the inputs' names.
///
/// `T` is read as a parameter `const T&` is: a plain type from a Value<T>, a host value class
/// from itself. A node's callable gets one that is valid during the call only; a host may also
/// make one over pointers of its own, for instance to call the callable in a test.
template <typename T> class InputList {
public:
    using value_type = T;
    using size_type = std::size_t;

    /// Reads the values one by one, as `const T&`.
    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        const_iterator() = default;

        explicit const_iterator(const T* const* at)
            : at(at) {}

        reference operator*() const { return **at; }

        pointer operator->() const { return *at; }

        reference operator[](difference_type n) const { return *at[n]; }

        const_iterator& operator++() {
            ++at;
            return *this;
        }

        const_iterator operator++(int) { return const_iterator(at++); }

        const_iterator& operator--() {
            --at;
            return *this;
        }

        const_iterator operator--(int) { return const_iterator(at--); }

        const_iterator& operator+=(difference_type n) {
            at += n;
            return *this;
        }

        const_iterator& operator-=(difference_type n) {
            at -= n;
            return *this;
        }

        friend const_iterator operator+(const_iterator i, difference_type n) { return i += n; }

        friend const_iterator operator+(difference_type n, const_iterator i) { return i += n; }

        friend const_iterator operator-(const_iterator i, difference_type n) { return i -= n; }

        friend difference_type operator-(const_iterator a, const_iterator b) { return a.at - b.at; }

        friend bool operator==(const_iterator a, const_iterator b) { return a.at == b.at; }

        friend bool operator!=(const_iterator a, const_iterator b) { return a.at != b.at; }

        friend bool operator<(const_iterator a, const_iterator b) { return a.at < b.at; }

        friend bool operator>(const_iterator a, const_iterator b) { return a.at > b.at; }

        friend bool operator<=(const_iterator a, const_iterator b) { return a.at <= b.at; }

        friend bool operator>=(const_iterator a, const_iterator b) { return a.at >= b.at; }

    private:
        const T* const* at = nullptr;
    };

    using iterator = const_iterator;

    InputList() = default;

    /// The `count` values that `values[0]` to `values[count - 1]` point to; none may be null.
    InputList(const T* const* values, std::size_t count)
        : values(values)
        , count(count) {}

    std::size_t size() const { return count; }

    bool empty() const { return count == 0; }

    /// The value of the `index`-th list input; `index` must be below size().
    const T& operator[](std::size_t index) const { return *values[index]; }

    const_iterator begin() const { return const_iterator(values); }

    const_iterator end() const { return const_iterator(values + count); }

private:
    const T* const* values = nullptr;
    std::size_t count = 0;
};

} // namespace datagraph
