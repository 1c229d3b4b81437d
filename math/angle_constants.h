// The library's angle constants, in radians, as floats. Each is derived from the rounded float
// before it, in this order: THREE_QUARTER_PI is three times the already rounded QUARTER_PI.
// Every file that includes this header has its own copy of each.
#pragma once

constexpr float PI = 3.14159265358979323846f;         // 0x40490FDB, the float nearest pi
constexpr float TWO_PI = PI * 2.0f;                   // 0x40C90FDB
constexpr float HALF_PI = PI * 0.5f;                  // 0x3FC90FDB
constexpr float QUARTER_PI = PI * 0.25f;              // 0x3F490FDB
constexpr float THREE_QUARTER_PI = QUARTER_PI * 3.0f; // 0x4016CBE4
