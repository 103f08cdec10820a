#include "monitor/recorded_jobs.h"

#include <tuple>

JobIdentity identityOf(const JobRecord& job)
{
    return JobIdentity{job.printerName.value_or(u""), job.jobId, job.submitted};
}

bool RecordedJobs::Less::operator()(const JobIdentity& a, const JobIdentity& b) const
{
    const DateTime& x = a.submitted;
    const DateTime& y = b.submitted;
    // The cheap fields first: the name decides only between equal numbers and times.
    return std::tie(a.jobId, x.year, x.month, x.day, x.hour, x.minute, x.second, x.milliseconds, x.dayOfWeek,
               a.printer)
        < std::tie(b.jobId, y.year, y.month, y.day, y.hour, y.minute, y.second, y.milliseconds, y.dayOfWeek,
            b.printer);
}

RecordedJobs::RecordedJobs(std::size_t capacity, std::uint64_t lifetime)
    : capacity_(capacity > 0 ? capacity : 1)
    , lifetime_(lifetime)
{
}

void RecordedJobs::forgetExpired(std::uint64_t now)
{
    // A clock that went back forgets nothing: the capacity still bounds the memory.
    while (
        !order_.empty() && now >= order_.front().recordedAt && now - order_.front().recordedAt >= lifetime_) {
        known_.erase(order_.front().identity);
        order_.pop_front();
    }
}

bool RecordedJobs::admit(const JobIdentity& identity, std::uint64_t now)
{
    forgetExpired(now);
    if (known_.contains(identity)) return false;
    if (order_.size() >= capacity_) {
        known_.erase(order_.front().identity);
        order_.pop_front();
    }
    order_.push_back({now, known_.insert(identity).first});
    return true;
}
