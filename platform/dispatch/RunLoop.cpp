#include "dispatch/RunLoop.h"

#include "runtime/Object.h"

#include <queue>
#include <vector>

struct RunLoop::Task {
    uint64_t time;
    uint64_t sequence;
    dispatch_block_t block;
    bool operator>(const Task& other) const
    {
        return time != other.time ? time > other.time : sequence > other.sequence;
    }
};

struct RunLoop::State {
    std::priority_queue<Task, std::vector<Task>, std::greater<Task>> tasks;
    uint64_t sequence = 0;
    std::vector<std::function<void()>> sources;
};

struct dispatch_queue_s {
    RunLoop* loop;
};

RunLoop& RunLoop::main()
{
    static RunLoop* loop = new RunLoop;
    return *loop;
}

RunLoop::State& RunLoop::state()
{
    if (!m_state)
        m_state = new State;
    return *m_state;
}

const RunLoop::State& RunLoop::state() const
{
    return const_cast<RunLoop*>(this)->state();
}

void RunLoop::enqueue(uint64_t time, dispatch_block_t block)
{
    if (!block)
        return;
    auto& s = state();
    s.tasks.push(Task { time, s.sequence++, std::move(block) });
}

void RunLoop::addSource(std::function<void()> poll)
{
    state().sources.push_back(std::move(poll));
}

void RunLoop::pollSources()
{
    // A source may add sources; iterate by index.
    for (size_t i = 0; i < state().sources.size(); ++i)
        state().sources[i]();
}

bool RunLoop::runOneDueTask()
{
    auto& s = state();
    if (s.tasks.empty() || s.tasks.top().time > m_now)
        return false;
    dispatch_block_t block = std::move(const_cast<Task&>(s.tasks.top()).block);
    s.tasks.pop();
    AutoreleasePool pool;
    block();
    return true;
}

void RunLoop::runPending()
{
    pollSources();
    while (runOneDueTask()) { }
}

void RunLoop::runUntil(uint64_t time)
{
    runPending();
    for (;;) {
        auto next = nextTaskTime();
        if (!next || *next > time)
            break;
        if (*next > m_now)
            m_now = *next;
        runPending();
    }
    if (time > m_now)
        m_now = time;
    runPending();
}

std::optional<uint64_t> RunLoop::nextTaskTime() const
{
    const auto& s = state();
    if (s.tasks.empty())
        return std::nullopt;
    return s.tasks.top().time;
}

size_t RunLoop::pendingTaskCount() const
{
    return state().tasks.size();
}

dispatch_queue_t dispatch_get_main_queue()
{
    static dispatch_queue_s queue { &RunLoop::main() };
    return &queue;
}

dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta)
{
    if (when == DISPATCH_TIME_FOREVER)
        return DISPATCH_TIME_FOREVER;
    uint64_t base = when == DISPATCH_TIME_NOW ? RunLoop::main().now() : when;
    if (delta < 0)
        return base > static_cast<uint64_t>(-delta) ? base - static_cast<uint64_t>(-delta) : 0;
    return base + static_cast<uint64_t>(delta);
}

void dispatch_async(dispatch_queue_t queue, dispatch_block_t block)
{
    if (!queue)
        return;
    queue->loop->enqueue(queue->loop->now(), std::move(block));
}

void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block)
{
    if (!queue || when == DISPATCH_TIME_FOREVER)
        return;
    queue->loop->enqueue(when, std::move(block));
}
