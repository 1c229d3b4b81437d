// Filled bands as text: CSV rows of ring points and a GeoJSON FeatureCollection.
#pragma once

#include <cstdio>

#include "isocontour/isocontour.h"

// Header polygon,ring,lower,upper,x,y; one row per ring point, polygons numbered from 0 across
// all bands, rings from 0 (the outer ring) within their polygon; an open band's missing level
// is an empty field. Numbers as %.9g for float and %.17g for double.
template <class T> bool WriteBandsCsv(std::FILE* file, const isocontour::Bands<T>& bands);

// An RFC 7946 FeatureCollection: per band one Feature, properties.lower and properties.upper
// its levels (null for an open side), geometry a MultiPolygon: each polygon its outer ring
// (counter-clockwise) then its holes (clockwise), every ring closed.
template <class T> bool WriteBandsGeoJson(std::FILE* file, const isocontour::Bands<T>& bands);
