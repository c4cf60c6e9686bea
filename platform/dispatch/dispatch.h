// libdispatch's main queue. Tasks run on the main thread when the run loop
// (dispatch/RunLoop.h) reaches their time on the device clock; the clock
// moves only when the host advances it, so a 0.3 s delay takes no real time
// in a test.
#pragma once

#include "runtime/objc.h"

#include <cstdint>
#include <functional>

using dispatch_time_t = uint64_t;
using dispatch_block_t = std::function<void()>;
struct dispatch_queue_s;
using dispatch_queue_t = dispatch_queue_s*;

inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~0ull;
inline constexpr uint64_t NSEC_PER_SEC = 1000000000ull;
inline constexpr uint64_t NSEC_PER_MSEC = 1000000ull;
inline constexpr uint64_t NSEC_PER_USEC = 1000ull;

PLATFORM_EXPORT dispatch_queue_t dispatch_get_main_queue();
// when + delta nanoseconds; DISPATCH_TIME_NOW means the clock's current time.
PLATFORM_EXPORT dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);
PLATFORM_EXPORT void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
PLATFORM_EXPORT void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);
