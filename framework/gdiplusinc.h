// GDI+ headers for builds with WIN32_LEAN_AND_MEAN and NOMINMAX: they need the COM property
// types and the min/max names that those two macros leave out.
#pragma once
#include <windows.h>
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
