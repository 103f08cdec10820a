#include "common/failure.h"

#include <atomic>
#include <utility>

namespace {

std::atomic<bool> fatalReportUnderWay{false};
thread_local std::u16string failureDetail;

} // namespace

void noteFatalReportBegun()
{
    fatalReportUnderWay = true;
}

bool fatalReportBegun()
{
    return fatalReportUnderWay;
}

void setFailureDetail(std::u16string detail)
{
    failureDetail = std::move(detail);
}

std::u16string takeFailureDetail()
{
    return std::exchange(failureDetail, std::u16string());
}
