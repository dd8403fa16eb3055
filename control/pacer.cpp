#include "control/pacer.h"

#include "control/commands.h"
#include "control/run_state.h"
#include "machine/cpu.h"

#include <algorithm>
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
std::atomic<unsigned> stride{PACER_STRIDE};
// Periods passed and not yet run; a tick is waiting in the window's queue while tickWaiting is set.
std::atomic<std::int32_t> owed{0};
std::atomic<bool> tickWaiting{false};

// A stall of the pacer shorter than this (a busy host) is made up: the deadlines it missed come at once
// and are owed together. After a longer one (a suspended process, a debugger) they are given up.
constexpr auto RESYNC_AFTER = std::chrono::seconds(1);

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
    unsigned periods = stride.load(std::memory_order_relaxed);
    auto deadline = Clock::now() + period * periods;
    while (!pacerQuit.load(std::memory_order_relaxed)) {
        sleepUntil(deadline);
        if (pacerQuit.load(std::memory_order_relaxed)) break;
        timerCallback(periods);
        periods = stride.load(std::memory_order_relaxed);
        deadline += period * periods;
        const auto now = Clock::now();
        if (now - deadline > RESYNC_AFTER) deadline = now + period * periods;
    }
}

} // namespace

void timerCallback(unsigned periods) {
    runState.events.fetch_add(1, std::memory_order_relaxed);
    // A deadline that finds a slice running is counted; its periods are still owed, and the tick posted
    // now runs them once that slice is over, so no time is lost.
    if (cpu.busy.load(std::memory_order_relaxed)) runState.overruns.fetch_add(1, std::memory_order_relaxed);
    // Owed first: a tick that is already waiting and has not yet taken the debt takes these too.
    owed.fetch_add(static_cast<std::int32_t>(periods));
    if (!tickWaiting.exchange(true)) postCommand(CMD_TICK);
}

std::int32_t pacerTakeOwed() {
    // Cleared first: periods owed from now on post a tick of their own.
    tickWaiting.store(false);
    return std::min(owed.exchange(0), PACER_MAX_OWED);
}

void pacerSetStride(unsigned periods) {
    stride.store(periods, std::memory_order_relaxed);
}

bool pacerStart(unsigned periodMs) {
    if (pacerThread.joinable()) return true;
    pacerQuit.store(false, std::memory_order_relaxed);
    owed.store(0);
    tickWaiting.store(false);
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
