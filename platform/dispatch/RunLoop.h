// The main thread's run loop: the main queue's tasks, ordered by their time
// on the device clock, and the event sources polled before tasks run (the
// Darwin notification center's, for one).
//
// The clock never moves by itself. A test or the simulator advances it with
// runUntil(); tasks whose time has come run in time order, each inside its
// own autorelease pool.
#pragma once

#include "dispatch/dispatch.h"

#include <optional>

class PLATFORM_EXPORT RunLoop {
public:
    static RunLoop& main();

    // Nanoseconds since the device booted.
    uint64_t now() const noexcept { return m_now; }
    double seconds() const noexcept { return static_cast<double>(m_now) / NSEC_PER_SEC; }
    void setNow(uint64_t now) noexcept { m_now = now; }

    // Polls the sources and runs every task that is due, including the due
    // tasks those tasks add.
    void runPending();
    // Moves the clock forward to `time`, running tasks as their times arrive.
    void runUntil(uint64_t time);
    void runFor(double seconds) { runUntil(m_now + static_cast<uint64_t>(seconds * NSEC_PER_SEC + 0.5)); }

    std::optional<uint64_t> nextTaskTime() const;
    size_t pendingTaskCount() const;

    void enqueue(uint64_t time, dispatch_block_t block);
    // A source is polled before due tasks are run; it may enqueue tasks.
    void addSource(std::function<void()> poll);

private:
    RunLoop() = default;
    bool runOneDueTask();
    void pollSources();

    struct Task;
    struct State;
    uint64_t m_now = 0;
    State* m_state = nullptr;
    State& state();
    const State& state() const;
};
