// Filled bands drawn as SVG: one colour per band from a perceptual colour map.
#pragma once

#include <cstdio>

#include "isocontour/isocontour.h"

// The picture spans the nodes' coordinate range, y up; each polygon is one path (its holes
// cut out by the even-odd rule), coloured by its band's place in the list, dark blue (lowest)
// through green to yellow (highest).
template <class T>
bool WriteBandsSvg(std::FILE* file, isocontour::View<T> values, const isocontour::Options<T>& options,
                   const isocontour::Bands<T>& bands);
