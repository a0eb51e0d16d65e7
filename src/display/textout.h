// Text for the painters of the display: a string drawn at a point on the
// device context, and its width in the font selected there.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gdi.h"

inline void text(HDC hdc, int32_t x, int32_t y, const std::string& s)
{
    TextOutA(hdc, x, y, s.c_str(), static_cast<int>(s.size()));
}

inline int32_t textWidth(HDC hdc, const std::string& s)
{
    SIZE size{0, 0};
    GetTextExtentPoint32A(hdc, s.c_str(), static_cast<int>(s.size()), &size);
    return size.cx;
}
