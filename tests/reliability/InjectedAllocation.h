#pragma once

// Failed allocations on demand, for the executables that link InjectedAllocation.cpp, which
// replaces the global operator new with a counting one (the allocation-failure and history
// suites). Single-threaded, like everything that calls a graph.

namespace datagraph::reliability::allocation {

/// Lets `allocations` more allocations succeed and makes the next one raise std::bad_alloc; a
/// negative count disarms. The failure disarms once it has fired.
void FailAfter(long allocations);

/// The allocations still to succeed before the armed failure; negative when none is armed (the
/// failure fired, or none was asked for).
long Remaining();

/// Disarms for its lifetime and then arms again as it found it: the harness's own bookkeeping
/// (an observer recording what it hears) is no part of the call whose allocations are counted.
class Pause {
public:
    Pause()
        : saved(Remaining()) {
        FailAfter(-1);
    }

    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;

    ~Pause() { FailAfter(saved); }

private:
    long saved;
};

} // namespace datagraph::reliability::allocation
