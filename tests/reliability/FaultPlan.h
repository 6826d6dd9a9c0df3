#pragma once

// Host objects that fail on demand. Every call that may fail is counted, and the armed one throws
// InjectedFault (or a GraphException, when asked), so a scenario can be run once per call site.
// Single-threaded, like everything that calls into a graph.

#include <datagraph/Foundation.h>

#include <functional>
#include <stdexcept>
#include <utility>

namespace datagraph::reliability {

/// Deliberately not a GraphException: a traversal does not absorb it.
struct InjectedFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class FaultPlan {
public:
    /// The n-th counted call from now on (n >= 1) throws; the count starts afresh.
    static void FailAt(long n, bool asGraphException = false) {
        State& state = Get();
        state = State{};
        state.failAt = n;
        state.asGraphException = asGraphException;
    }

    /// No call throws any more; the count starts afresh.
    static void Disarm() { Get() = State{}; }

    /// Called at every counted call with its number, before the call may throw.
    static void Observe(std::function<void(long)> observer) {
        Get().observer = std::move(observer);
    }

    static long Calls() { return Get().calls; }

    static bool Fired() { return Get().fired; }

    /// Counts one call of a host object and throws when it is the armed one.
    static void Hit() {
        State& state = Get();
        if (state.observing) {
            return; // the observer's own calls are not part of the scenario
        }
        ++state.calls;
        if (state.observer) {
            state.observing = true;
            state.observer(state.calls);
            state.observing = false;
        }
        if (state.calls != state.failAt) {
            return;
        }
        state.fired = true;
        if (state.asGraphException) {
            throw GraphException("injected fault");
        }
        throw InjectedFault("injected fault");
    }

private:
    struct State {
        long calls = 0;
        long failAt = 0;
        bool asGraphException = false;
        bool fired = false;
        bool observing = false;
        std::function<void(long)> observer;
    };

    static State& Get() {
        static State state;
        return state;
    }
};

} // namespace datagraph::reliability
