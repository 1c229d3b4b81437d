// Contour lines as text: CSV rows of points and a GeoJSON FeatureCollection.
#pragma once

#include <cstdio>
#include <span>

#include "isocontour/isocontour.h"

// Header line,level,x,y (then nx,ny when the lines carry normals); one row per point, lines
// numbered from 0 across all levels. Numbers as %.9g for float and %.17g for double: enough
// to give back every value.
template <class T>
bool WriteLinesCsv(std::FILE* file, const isocontour::Lines<T>& lines, std::span<const T> levels);

// An RFC 7946 FeatureCollection: per level one Feature, properties.level the level, geometry a
// MultiLineString of its lines in the library's order (a closed line repeats its first point).
template <class T>
bool WriteLinesGeoJson(std::FILE* file, const isocontour::Lines<T>& lines, std::span<const T> levels);
