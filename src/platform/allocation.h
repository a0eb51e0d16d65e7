// How the program takes memory for its records and arrays: vectors and
// unique_ptr own it, sized through the few helpers below, which turn running
// out of memory into a false or null return for the caller to report. Every
// place that can run out is named once in PULSEBENCH_ALLOCATION_SITES, and a
// test can make a chosen one fail (by site, or the n-th from now). Free of Qt;
// called wherever a record or a work array is made or grown.
//
// Sections: sites - test hook - helpers
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/platform.h"

/*==========================================================================
** Sites
**========================================================================*/

// Every allocation that can fail, as X(name): grouped by the folder that
// makes it; one name per block with its own report or its own outcome.
#define PULSEBENCH_ALLOCATION_SITES(X)                                                                                \
    /* synthesis */                                                                                                    \
    X(AlphabetEtalon)     /* one etalon's samples (makeAlphabet) */                                                    \
    X(RequiredList)       /* the list of required etalons (getRequiredList) */                                         \
    X(SeriesHeader)       /* the SeriesHeader record */                                                                \
    X(SeriesSamples)      /* a series' sample and per-pulse block */                                                   \
    X(SeriesPulsesList)   /* a series' etalon pointers */                                                              \
    X(SeriesPartialEnergy) /* the energy prefix of one series construction */                                          \
    X(SeriesSubsetSizes)  /* the sizes and entries of a series' stored subsets */                                      \
    X(SeriesSubsetList)   /* the row pointers of a series' stored subsets */                                           \
    /* detection */                                                                                                    \
    X(ChainsHeader)       /* the ChainsHeader record */                                                                \
    X(ChainsCosts)        /* its costs and pulse counts */                                                             \
    X(ChainsTable)        /* its table of row pointers */                                                              \
    X(ChainsEntries)      /* its rows */                                                                               \
    X(PositionSet)        /* a PositionSet record */                                                                   \
    X(PositionSetBlock)   /* its spans */                                                                              \
    X(MatchTable)         /* the etalons' match table of a pulse detector */                                           \
    X(PulseWork)          /* the positions and layers of a pulse detector */                                           \
    X(TuplePhaseWork)     /* the layers of a fixed-count tuple detector */                                             \
    X(TupleMatches)       /* the etalon matches of a tuple detector */                                                 \
    X(TupleLayerWork)     /* the layers of an unfixed-count tuple detector */                                          \
    /* simulation */                                                                                                   \
    X(RestErrHeader)      /* the RestoreErrorHeader record */                                                          \
    X(RestErrValues)      /* its pulse counts and noise levels */                                                      \
    X(RestErrRows)        /* its row pointers */                                                                       \
    X(RestErrCells)       /* its cells */                                                                              \
    X(TrialSequence)      /* the etalon counters and sequence of a run */                                              \
    X(TrialSums)          /* the cell sums of a run */                                                                 \
    X(TrialSlots)         /* the trial slots of a run */                                                               \
    X(TrialCopies)        /* a trial's copies of its series and sequence */                                            \
    /* shell */                                                                                                        \
    X(EtalonSequence)     /* lpEtalonSequence */                                                                       \
    X(NewEtalonSequence)  /* lpNewEtalonSequence */                                                                    \
    X(RunCellSums)        /* the cell sums a simulation is about to need, taken before it starts */                   \
    /* display */                                                                                                      \
    X(ChartNormalizers)   /* the reference values of a statistics chart */                                             \
    X(ParamsHeader)       /* the ParamsHeader record */                                                                \
    X(ParamsAreas)        /* its pulse-count areas */                                                                  \
    X(SubsetStripRects)   /* the subset strip's slot rectangles */                                                     \
    X(SubsetStrip)        /* the strip's entries and marks */                                                          \
    X(SubsetSizes)        /* the sizes of the reserved subsets */                                                      \
    X(SubsetRowRects)     /* the reserved rows' rectangles */                                                          \
    X(SubsetRowStarts)    /* the row starts into them */                                                               \
    X(SubsetRows)         /* the reserved subsets' entries */                                                          \
    X(SubsetButtons)      /* the subset panel's button rectangles */                                                   \
    /* snapshot */                                                                                                     \
    X(BmpDescription)     /* a BMP description with its colour table */                                                \
    X(BmpRows)            /* the rows of a BMP file */                                                                 \
    X(PcxLine)            /* one PCX line */                                                                           \
    X(PcxCodes)           /* its run-length codes */

enum class AllocSite : uint8_t {
#define PULSEBENCH_SITE_ENUM(name) name,
    PULSEBENCH_ALLOCATION_SITES(PULSEBENCH_SITE_ENUM)
#undef PULSEBENCH_SITE_ENUM
};

// The number of sites, and each one's name as written in the table.
inline constexpr size_t kAllocationSites = 0
#define PULSEBENCH_SITE_COUNT(name) +1
    PULSEBENCH_ALLOCATION_SITES(PULSEBENCH_SITE_COUNT)
#undef PULSEBENCH_SITE_COUNT
    ;
const char* allocationSiteName(AllocSite site);

/*==========================================================================
** Test hook
**========================================================================*/

// Makes the `occurrence`-th allocation (1-based, counted from now) at `site`
// fail, once. One fault at a time; clearAllocationFault ends it.
void injectAllocationFault(AllocSite site, int64_t occurrence = 1);
// Makes the n-th allocation from now (1-based), at whatever site, fail once.
void injectNthAllocationFault(int64_t n);
// Counts the allocations from now on without failing any.
void countAllocations();

// What the hook saw since it was armed by one of the three calls above.
struct AllocationFaultReport {
    int64_t seen = 0;                        // allocations that passed the hook, the failed one included
    bool struck = false;                     // the fault happened
    AllocSite site = AllocSite::AlphabetEtalon; // where it struck (meaningful when struck)
};
// Disarms the hook and says what it saw.
AllocationFaultReport clearAllocationFault();

namespace allocation_detail {
extern std::atomic<bool> gArmed;  // any of the three calls above is in force
bool faultHere(AllocSite site);   // counts the allocation; true when it is to fail
} // namespace allocation_detail

// True when the test hook makes this allocation at `site` fail. Disarmed, one
// relaxed load.
inline bool allocationRefused(AllocSite site)
{
    return allocation_detail::gArmed.load(std::memory_order_relaxed) && allocation_detail::faultHere(site);
}

/*==========================================================================
** Helpers
**========================================================================*/

// Runs `take`, which sizes vectors or makes records for `site`; false when
// memory ran out (a size beyond what a vector can hold counts as that) or the
// hook refused the site, and then whatever `take` had not finished is as the
// failing vector operation left it (for assign and swap: unchanged).
template <typename Take>
bool tryAllocate(AllocSite site, Take&& take)
{
    if (allocationRefused(site))
        return false;
    try {
        std::forward<Take>(take)();
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

// `block` becomes `count` copies of `value`; false when out of memory, the
// block then unchanged.
template <typename T>
bool assignFresh(AllocSite site, std::vector<T>& block, size_t count, const T& value = T())
{
    return tryAllocate(site, [&] {
        std::vector<T> fresh(count, value);
        block.swap(fresh);
    });
}

// `block` holds at least `count` elements: kept as it is when it does (a block
// large enough is reused), otherwise replaced by `count` value-initialised
// ones. False when out of memory, the block then unchanged.
template <typename T>
bool holdAtLeast(AllocSite site, std::vector<T>& block, size_t count)
{
    return block.size() >= count || assignFresh(site, block, count);
}

// A new T made from `args`, or null when out of memory.
template <typename T, typename... Args>
std::unique_ptr<T> makeOrNull(AllocSite site, Args&&... args)
{
    std::unique_ptr<T> made;
    tryAllocate(site, [&] { made = std::make_unique<T>(std::forward<Args>(args)...); });
    return made;
}

// `count` value-initialised Ts (at least one), or null when out of memory.
template <typename T>
std::unique_ptr<T[]> makeArrayOrNull(AllocSite site, size_t count)
{
    std::unique_ptr<T[]> made;
    tryAllocate(site, [&] { made = std::make_unique<T[]>(count ? count : 1); });
    return made;
}

// The record a get...Header call fills: `old` when there is one, else a new
// one (its free...Header releases it). When memory runs out, the box `text`
// with `caption` is shown and null returned.
template <typename T>
T* reuseOrMake(HWND hWnd, T* old, AllocSite site, const char* text, const char* caption)
{
    if (old)
        return old;
    T* made = makeOrNull<T>(site).release();
    if (!made)
        MessageBoxA(hWnd, text, caption, MB_OK);
    return made;
}

// assignFresh that shows the box `text` with `caption` when memory runs out.
template <typename T>
bool assignFreshOrSay(HWND hWnd, AllocSite site, std::vector<T>& block, size_t count, const char* text,
                      const char* caption)
{
    if (assignFresh(site, block, count))
        return true;
    MessageBoxA(hWnd, text, caption, MB_OK);
    return false;
}
