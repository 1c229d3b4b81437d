// Contour lines drawn as SVG over a grey-scale image of the values, one colour per level.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

#include "isocontour/isocontour.h"

// The picture spans the points' coordinate range, y up. The image (dark low, light high,
// transparent where a value is NaN or masked) is embedded as a PNG; with curvilinear
// coordinates (x and y views the values' shape) there is no image, only the lines.
template <class T>
bool WriteLinesSvg(std::FILE* file, isocontour::View<T> values, const isocontour::Options<T>& options,
                   const isocontour::Lines<T>& lines, std::span<const T> levels);
