// The allocation-failure hook of allocation.h: which allocation is to fail,
// and the count of those that passed. Consulted only while a test has armed
// it; the worker threads of a simulation may pass it, hence the lock.
#include "allocation.h"

#include <iterator>
#include <mutex>

namespace {

constexpr const char* kSiteNames[] = {
#define PULSEBENCH_SITE_NAME(name) #name,
    PULSEBENCH_ALLOCATION_SITES(PULSEBENCH_SITE_NAME)
#undef PULSEBENCH_SITE_NAME
};
static_assert(std::size(kSiteNames) == kAllocationSites);

enum class Aim { Count, Site, Nth };

struct Fault {
    std::mutex lock;
    Aim aim = Aim::Count;            // what is to fail
    AllocSite site{};                // Aim::Site: where
    int64_t countdown = 0;           // allocations (at that site, or any) until the failing one
    AllocationFaultReport report;    // what was seen since arming
};

Fault& fault()
{
    static Fault f;
    return f;
}

void arm(Aim aim, AllocSite site, int64_t countdown)
{
    Fault& f = fault();
    std::lock_guard<std::mutex> guard(f.lock);
    f.aim = aim;
    f.site = site;
    f.countdown = countdown;
    f.report = AllocationFaultReport{};
    allocation_detail::gArmed.store(true);
}

} // namespace

namespace allocation_detail {

std::atomic<bool> gArmed{false};

bool faultHere(AllocSite site)
{
    Fault& f = fault();
    std::lock_guard<std::mutex> guard(f.lock);
    f.report.seen++;
    if (f.report.struck || f.aim == Aim::Count || (f.aim == Aim::Site && site != f.site) || --f.countdown != 0)
        return false;
    f.report.struck = true;
    f.report.site = site;
    return true;
}

} // namespace allocation_detail

const char* allocationSiteName(AllocSite site)
{
    const size_t i = static_cast<size_t>(site);
    return i < kAllocationSites ? kSiteNames[i] : "";
}

void injectAllocationFault(AllocSite site, int64_t occurrence)
{
    arm(Aim::Site, site, occurrence);
}

void injectNthAllocationFault(int64_t n)
{
    arm(Aim::Nth, AllocSite{}, n);
}

void countAllocations()
{
    arm(Aim::Count, AllocSite{}, 0);
}

AllocationFaultReport clearAllocationFault()
{
    Fault& f = fault();
    std::lock_guard<std::mutex> guard(f.lock);
    allocation_detail::gArmed.store(false);
    return f.report;
}
