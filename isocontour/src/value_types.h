// The value types the library is compiled for: its one list of them. Each source file that
// defines templates instantiates them through it, so a type is added here and nowhere else.
#pragma once

#define ISOCONTOUR_FOR_EACH_VALUE_TYPE(X) X(float) X(double)
