// Position sets: the sorted interval lists the unfixed-count detectors build
// their first, later and last pulse positions from. A few hundred intervals per
// series at most; every operation is one pass over the intervals.
#include <cassert>
#include <algorithm>

#include "detection.h"
#include "platform/allocation.h"

namespace {

// One interval, in int so that "last + 1" cannot wrap.
struct Span {
    int from;  // first position
    int to;    // last position (inclusive)
};

// The set's intervals, copied out (so that a set may be combined with itself).
std::vector<Span> spansOf(const PositionSet* s)
{
    std::vector<Span> out(s->wCount);
    for (int i = 0; i < s->wCount; i++)
        out[i] = {s->lpFrom[i], s->lpTo[i]};
    return out;
}

// Replaces the set's intervals; the caller has checked that they fit.
void storeSpans(PositionSet* s, const std::vector<Span>& spans)
{
    for (size_t i = 0; i < spans.size(); i++) // sorted and disjoint, each one non-empty
        assert(spans[i].from <= spans[i].to && (i == 0 || spans[i - 1].to < spans[i].from));
    for (size_t i = 0; i < spans.size(); i++) {
        s->lpFrom[i] = static_cast<uint16_t>(spans[i].from);
        s->lpTo[i] = static_cast<uint16_t>(spans[i].to);
    }
    s->wCount = static_cast<uint16_t>(spans.size());
}

} // namespace

PositionSet* getPositionSet(PositionSet* lpSet, uint16_t capacity)
{
    if (lpSet && lpSet->wCapacity < capacity) {
        lpSet->block.clear();
        lpSet->block.shrink_to_fit();
        lpSet->lpFrom = lpSet->lpTo = nullptr;
    }
    if (!lpSet) {
        lpSet = makeOrNull<PositionSet>(AllocSite::PositionSet).release();  // freePositionSet releases it
        if (!lpSet)
            return nullptr;
    }
    if (!lpSet->lpFrom) {
        // one spare word: never an empty block
        if (!assignFresh<uint16_t>(AllocSite::PositionSetBlock, lpSet->block, 2u * capacity + 1u))
            return freePositionSet(lpSet);
        lpSet->wCapacity = capacity;
        lpSet->lpFrom = lpSet->block.data();
        lpSet->lpTo = lpSet->block.data() + capacity;
    }
    lpSet->wCount = 0;
    std::fill(lpSet->block.begin(), lpSet->block.end(), 0);
    return lpSet;
}

PositionSet* copyPositionSet(PositionSet* lpDestination, const PositionSet* lpSource)
{
    if (!lpSource)
        return nullptr;
    if (lpDestination == lpSource)
        return lpDestination;
    lpDestination = getPositionSet(lpDestination, lpSource->wCapacity);
    if (!lpDestination)
        return nullptr;
    storeSpans(lpDestination, spansOf(lpSource));
    return lpDestination;
}

int addInterval(PositionSet* lpSet, uint16_t first, uint16_t last)
{
    if (!lpSet || last < first)
        return 0;
    const int a = first, b = last, count = lpSet->wCount;
    uint16_t* from = lpSet->lpFrom;
    uint16_t* to = lpSet->lpTo;
    int i = 0;
    while (i < count && to[i] + 1 < a) // first interval that ends at or after a - 1 (touching joins)
        i++;
    if (i == count || from[i] > b + 1) { // a separate interval at i
        if (count == lpSet->wCapacity)
            return 0;
        for (int k = count; k > i; k--) {
            from[k] = from[k - 1];
            to[k] = to[k - 1];
        }
        from[i] = first;
        to[i] = last;
        lpSet->wCount++;
        return 1;
    }
    int j = i, end = std::max<int>(b, to[i]);
    while (j + 1 < count && from[j + 1] <= b + 1) {
        j++;
        end = std::max<int>(end, to[j]);
    }
    from[i] = static_cast<uint16_t>(std::min<int>(a, from[i]));
    to[i] = static_cast<uint16_t>(end);
    const int gone = j - i;
    for (int k = i + 1; k + gone < count; k++) {
        from[k] = from[k + gone];
        to[k] = to[k + gone];
    }
    lpSet->wCount = static_cast<uint16_t>(count - gone);
    return 1;
}

int addSet(PositionSet* lpDestination, const PositionSet* lpSource)
{
    if (!lpDestination || !lpSource)
        return 0;
    for (const Span& s : spansOf(lpSource))
        addInterval(lpDestination, static_cast<uint16_t>(s.from), static_cast<uint16_t>(s.to));
    return 1;
}

int subtractInterval(PositionSet* lpSet, uint16_t first, uint16_t last)
{
    if (!lpSet || last < first)
        return 0;
    const int a = first, b = last;
    std::vector<Span> kept;
    kept.reserve(lpSet->wCount + 1u);
    for (const Span& s : spansOf(lpSet)) {
        if (s.to < a || s.from > b) {
            kept.push_back(s);
            continue;
        }
        if (s.from < a)
            kept.push_back({s.from, a - 1});
        if (s.to > b)
            kept.push_back({b + 1, s.to});
    }
    if (kept.size() > lpSet->wCapacity) // a split needs a free slot
        return 0;
    storeSpans(lpSet, kept);
    return 1;
}

int subtractSet(PositionSet* lpDestination, const PositionSet* lpSource)
{
    if (!lpDestination || !lpSource)
        return 0;
    for (const Span& s : spansOf(lpSource))
        subtractInterval(lpDestination, static_cast<uint16_t>(s.from), static_cast<uint16_t>(s.to));
    return 1;
}

int intersectInterval(PositionSet* lpSet, uint16_t first, uint16_t last)
{
    if (!lpSet || last < first)
        return 0;
    std::vector<Span> kept;
    for (const Span& s : spansOf(lpSet)) {
        const int from = std::max<int>(s.from, first), to = std::min<int>(s.to, last);
        if (from <= to)
            kept.push_back({from, to});
    }
    storeSpans(lpSet, kept);
    return 1;
}

int intersectSet(PositionSet* lpDestination, const PositionSet* lpSource)
{
    if (!lpDestination || !lpSource)
        return 0;
    const std::vector<Span> mine = spansOf(lpDestination), theirs = spansOf(lpSource);
    lpDestination->wCount = 0;
    // For each source interval in order, the destination's pieces inside it
    // are added in order; pieces that find no free slot are lost.
    for (const Span& s : theirs)
        for (const Span& d : mine) {
            const int from = std::max(s.from, d.from), to = std::min(s.to, d.to);
            if (from <= to)
                addInterval(lpDestination, static_cast<uint16_t>(from), static_cast<uint16_t>(to));
        }
    return 1;
}

PositionSet* freePositionSet(PositionSet* lpSet)
{
    std::unique_ptr<PositionSet> released(lpSet);
    return nullptr;
}
