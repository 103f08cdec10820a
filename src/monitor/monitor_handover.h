// What one monitor leaves the next when the counting passes from the tray
// program to the service or back: the followed printers with their jobs,
// printing marks and whether each job's submission time is known, and the
// jobs recorded lately. The next monitor goes on
// from there, so a job seen printing that leaves its queue while neither
// monitor polls is recorded once, by the next one, and a job already
// recorded is not recorded again. Portable: bytes in, bytes out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/job_tracking.h"

// Older than this, what was left is not taken: the queues have moved on so far
// that the next monitor starts afresh, as after any start.
inline constexpr std::uint64_t handoverLifetime = 5ull * 60 * 10'000'000; // in 100 ns units

// A larger hand-over is damaged: far more than any spooler's queues give.
inline constexpr std::size_t handoverFileLimit = 64u << 20;

// `now` is the monitor clock (milliseconds, as RecordedJobs counts), `wallClock`
// the system time in 100 ns units, which both processes share.
std::string encodeMonitorState(const MonitorState& state, std::uint64_t now, std::uint64_t wallClock);
// False, and the state untouched, for bytes that are not one whole state of
// this form, or one left longer ago than handoverLifetime (or in the future).
// `damage` is then set, in words, when the bytes are not a state this
// program left (cut, changed, larger than handoverFileLimit, a printer or a
// job listed twice), and cleared when the state is merely old.
bool decodeMonitorState(std::string_view bytes, std::uint64_t now, std::uint64_t wallClock,
    MonitorState& state, std::string* damage = nullptr);
