// Inside the display folder: how the subset panel obtains its memory. Every
// array of the panel comes zero-filled from `allocate` and goes back through
// std::free; a test may put a failing allocator in its place to reach the
// panel's out-of-memory paths.
#pragma once

#include <cstddef>

namespace subsetpanel {

// Zero-filled storage of `bytes` bytes, or null. std::calloc unless replaced.
extern void* (*allocate)(size_t bytes);
// Puts std::calloc back.
void restoreAllocator();

} // namespace subsetpanel
