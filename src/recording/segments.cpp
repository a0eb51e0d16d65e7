// Long signals: the anchor that cuts a segment and the merge of the pulses
// each segment found (the rule is in recording.h). Pure arithmetic; the runs
// themselves are in run.cpp.
#include <algorithm>

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
