// The jobs the monitor has recorded lately, so that none is ever recorded
// twice: a printer that drops out of one enumeration and comes back with the
// same jobs, a queue read cut short or a connection listed again under
// another name would otherwise hand the same job to a recorder once more.
// Portable: time comes in as milliseconds of a clock that never goes back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <string>

#include "common/job_record.h"

// What tells one job from every other: the spooler numbers jobs per printer
// and reuses the numbers, but not at the same submission time.
struct JobIdentity {
    std::u16string printer; // the job's own printer name, the one its row holds
    std::uint32_t jobId = 0;
    DateTime submitted;
};

JobIdentity identityOf(const JobRecord& job);

// Remembered this long after the recording, and at most this many at once
// (the oldest forgotten first), which bounds the memory to a few megabytes.
inline constexpr std::uint64_t recordedJobsLifetime = 24ull * 60 * 60 * 1000;
inline constexpr std::size_t recordedJobsCapacity = 100000;

class RecordedJobs {
public:
    explicit RecordedJobs(
        std::size_t capacity = recordedJobsCapacity, std::uint64_t lifetime = recordedJobsLifetime);

    // True, and the identity remembered from `now` on, when it is not
    // remembered yet: the job may be recorded. False for a job already recorded.
    bool admit(const JobIdentity& identity, std::uint64_t now);
    std::size_t size() const { return known_.size(); }
    // Every remembered identity with the time it was recorded, oldest first:
    // what another monitor needs to go on remembering them.
    template <typename Visit> void forEachRemembered(Visit&& visit) const
    {
        for (const Entry& entry : order_) visit(*entry.identity, entry.recordedAt);
    }

private:
    struct Less {
        bool operator()(const JobIdentity& a, const JobIdentity& b) const;
    };
    struct Entry {
        std::uint64_t recordedAt;
        std::set<JobIdentity, Less>::const_iterator identity;
    };

    void forgetExpired(std::uint64_t now);

    std::size_t capacity_;
    std::uint64_t lifetime_;
    std::set<JobIdentity, Less> known_;
    std::deque<Entry> order_; // oldest first
};
