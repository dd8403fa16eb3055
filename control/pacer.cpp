#include "control/pacer.h"

#include "control/commands.h"
#include "control/run_state.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>
#include <time.h>

namespace orv {

namespace {

using Clock = std::chrono::steady_clock;

std::thread pacerThread;
std::atomic<bool> pacerQuit{false};

// After a stall this long (a suspended process, a debugger) the lost deadlines are given up rather
// than fired in one burst.
constexpr auto RESYNC_AFTER = std::chrono::milliseconds(100);

void sleepUntil(Clock::time_point deadline) {
#if defined(__linux__)
    // steady_clock is CLOCK_MONOTONIC here; an absolute sleep does not drift with the wake-up latency.
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
    timespec t{};
    t.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    t.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
#else
    std::this_thread::sleep_until(deadline);
#endif
}

void pacerLoop(Clock::duration period) {
    auto deadline = Clock::now() + period;
    while (!pacerQuit.load(std::memory_order_relaxed)) {
        sleepUntil(deadline);
        if (pacerQuit.load(std::memory_order_relaxed)) break;
        timerCallback();
        deadline += period;
        const auto now = Clock::now();
        if (now - deadline > RESYNC_AFTER) deadline = now + period;
    }
}

} // namespace

void timerCallback() {
    events.fetch_add(1, std::memory_order_relaxed);
    if (busy.load(std::memory_order_relaxed)) {
        overruns.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    postCommand(CMD_TICK);
}

bool pacerStart(unsigned periodMs) {
    if (pacerThread.joinable()) return true;
    pacerQuit.store(false, std::memory_order_relaxed);
    try {
        pacerThread = std::thread(pacerLoop, std::chrono::milliseconds(periodMs));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void pacerStop() {
    if (!pacerThread.joinable()) return;
    pacerQuit.store(true, std::memory_order_relaxed);
    pacerThread.join();
}

bool pacerRunning() {
    return pacerThread.joinable();
}

namespace {

// A thread object destroyed while its thread runs aborts the program. Should the process end with the
// machine running, by any road, the thread is stopped first: made after pacerThread, this object is
// destroyed before it.
struct StopAtExit {
    ~StopAtExit() { pacerStop(); }
} stopAtExit;

} // namespace

} // namespace orv
