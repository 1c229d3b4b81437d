// The demo's field state and the functions over it: the threshold, the charges, the two grids
// and the case table, with FieldValue, FieldGradient, BuildCaseTable and ExtractContour reading
// and writing them. Everything below the app layer takes these as explicit inputs instead.
#pragma once

#include <cstdint>

#include "app/sizes.h"
#include "field/case_table.h"
#include "field/charge_field.h"
#include "math/vector2.h"

// The iso-value of the demo's contour: 0.6 at start. The window procedure changes it by key;
// gradient-render and the tests set it directly.
extern float threshold;

// Written by each frame: charges first, then the whole field grid, then the whole gradient grid.
extern Vector2 charges[field::kChargeCount];
extern float fieldGrid[demo::kNodes];
extern Vector2 gradientGrid[demo::kNodes];

// Empty until BuildCaseTable fills it; read by ExtractContour.
extern CaseEntry caseTable[16];

// The field at (x, y) from the current charges.
float FieldValue(float x, float y);
// The gradient at node (a, b) from the current field grid.
Vector2 FieldGradient(int a, int b, float step);

// Fills all 16 rows of caseTable from field::kCaseSegments, in index order: each row is a
// temporary entry (which allocates its records) assigned to the table and then destroyed (which
// releases nothing). 16 segment records are allocated and never released.
void BuildCaseTable();

// The contour of fieldGrid at threshold, using gradientGrid and caseTable. Both out-parameters
// always receive a new[]-allocated array (also for a count of 0) that the caller delete[]s.
std::int32_t ExtractContour(Vector2** endPoints, Vector2** normals);

// The owner of one ExtractContour result: the frame, gradient-render and the tests take a
// frame's contour through it, and it releases both arrays.
struct FrameContour {
    Vector2* points = nullptr;
    Vector2* normals = nullptr;
    std::int32_t count = ExtractContour(&points, &normals);

    FrameContour() = default;
    FrameContour(const FrameContour&) = delete;
    FrameContour& operator=(const FrameContour&) = delete;
    ~FrameContour() {
        delete[] points;
        delete[] normals;
    }
};
