// Long signals: the anchor that cuts a segment, the merge of the pulses each
// segment found (the rule is in recording.h) and the verdict of a recognition
// in segments. Pure arithmetic; the runs themselves are in run.cpp.
#include <algorithm>
#include <map>

#include "recording.h"

int32_t segmentMargin(uint16_t n, uint16_t Tmax)
{
    return int32_t{Tmax} + int32_t{n};
}

int32_t segmentAnchor(const std::vector<FoundPulse>& found, int32_t length, int32_t margin)
{
    int32_t anchor = -1;
    for (const FoundPulse& p : found)
        if (p.position > margin && p.position <= length - margin)
            anchor = std::max(anchor, p.position);
    return anchor;
}

int32_t mergeSegmentPulses(const Segment& s, const std::vector<FoundPulse>& found, uint16_t Tmin,
                           std::vector<FoundPulse>& merged)
{
    int32_t kept = 0;
    for (FoundPulse p : found) {
        p.position += s.begin;
        if (p.position < s.keepFrom || p.position >= s.keepTo)
            continue;
        if (!merged.empty() && p.position - merged.back().position < Tmin)
            continue;  // the previous segment saw this pulse on its side of the cut
        merged.push_back(p);
        kept++;
    }
    return kept;
}

int32_t segmentsVerdict(const std::vector<Segment>& segments, bool& agree)
{
    std::map<int32_t, int32_t> votes;  // etalon -> segments
    std::vector<int32_t> order;        // etalons in order of first vote
    for (const Segment& s : segments)
        if (s.hasCost && s.result > 0 && votes[s.result]++ == 0)
            order.push_back(s.result);
    agree = order.size() <= 1;
    int32_t verdict = 0;
    for (int32_t e : order)
        if (verdict == 0 || votes[e] > votes[verdict])
            verdict = e;
    return verdict;
}
