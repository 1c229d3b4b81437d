#include "app/state.h"
#include "field/case_table.h"

#include <limits>
#include <set>

#include <gtest/gtest.h>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The table written out row by row: {count, first, second}.
struct Row {
    int count;
    int e0, e1, e2, e3;
};
constexpr Row kRows[16] = {
    {0, 0, 0, 0, 0}, {1, 2, 3, 0, 0}, {1, 1, 2, 0, 0}, {1, 1, 3, 0, 0},
    {1, 0, 1, 0, 0}, {2, 1, 2, 3, 0}, {1, 0, 2, 0, 0}, {1, 3, 0, 0, 0},
    {1, 3, 0, 0, 0}, {1, 0, 2, 0, 0}, {2, 0, 1, 2, 3}, {1, 0, 1, 0, 0},
    {1, 1, 3, 0, 0}, {1, 1, 2, 0, 0}, {1, 2, 3, 0, 0}, {0, 0, 0, 0, 0},
};

class CaseTable : public ::testing::Test {
  protected:
    // The records are allocated once per process and never released, as in the program.
    static void SetUpTestSuite() { BuildCaseTable(); }
};

TEST_F(CaseTable, RowsAreTheTable) {
    std::set<const EdgeSegment*> records;
    for (int i = 0; i < 16; ++i) {
        const CaseEntry& e = caseTable[i];
        const Row& r = kRows[i];
        SCOPED_TRACE(i);
        ASSERT_EQ(e.firstSegment != nullptr, r.count >= 1);
        ASSERT_EQ(e.secondSegment != nullptr, r.count == 2);
        if (r.count >= 1) {
            EXPECT_EQ(e.firstSegment->firstEdge, r.e0);
            EXPECT_EQ(e.firstSegment->secondEdge, r.e1);
            records.insert(e.firstSegment);
        }
        if (r.count == 2) {
            EXPECT_EQ(e.secondSegment->firstEdge, r.e2);
            EXPECT_EQ(e.secondSegment->secondEdge, r.e3);
            records.insert(e.secondSegment);
        }
    }
    EXPECT_EQ(records.size(), 16u); // one record per segment, none shared between rows
}

TEST_F(CaseTable, ComplementaryRowsHoldTheSameSegmentExceptTheSaddles) {
    for (int k = 0; k < 16; ++k) {
        if (k == 5 || k == 10 || k == 0 || k == 15) continue;
        ASSERT_NE(caseTable[k].firstSegment, nullptr);
        EXPECT_EQ(caseTable[k].firstSegment->firstEdge, caseTable[15 - k].firstSegment->firstEdge);
        EXPECT_EQ(caseTable[k].firstSegment->secondEdge,
                  caseTable[15 - k].firstSegment->secondEdge);
    }
}

TEST_F(CaseTable, EverySegmentSeparatesAboveFromNotAbove) {
    for (int k = 0; k < 16; ++k) {
        const bool above[4] = {(k & 8) != 0, (k & 4) != 0, (k & 2) != 0, (k & 1) != 0};
        for (const EdgeSegment* s : {caseTable[k].firstSegment, caseTable[k].secondSegment}) {
            if (!s) continue;
            for (int e : {s->firstEdge, s->secondEdge})
                EXPECT_NE(above[e], above[(e + 1) % 4]) << "case " << k << " edge " << e;
        }
    }
}

TEST_F(CaseTable, CopiesShareRecordsAndReleaseNothing) {
    const EdgeSegment* first = caseTable[10].firstSegment;
    {
        CaseEntry copy(caseTable[10]);
        EXPECT_EQ(copy.firstSegment, first);
        CaseEntry assigned;
        assigned = caseTable[10];
        EXPECT_EQ(assigned.secondSegment, caseTable[10].secondSegment);
    }
    EXPECT_EQ(caseTable[10].firstSegment, first);
    EXPECT_EQ(first->firstEdge, 0); // still readable after the copies are gone
    EXPECT_EQ(caseTable[10].secondSegment->secondEdge, 3);
}

TEST_F(CaseTable, CompactViewMatchesTheBuiltTable) {
    const field::CaseSegments c = field::CompactCaseTable(caseTable);
    for (int k = 0; k < 16; ++k) {
        ASSERT_EQ(c.count[k], field::kCaseSegments.count[k]) << k;
        for (int s = 0; s < c.count[k]; ++s) {
            EXPECT_EQ(c.segment[k][s].firstEdge, field::kCaseSegments.segment[k][s].firstEdge);
            EXPECT_EQ(c.segment[k][s].secondEdge, field::kCaseSegments.segment[k][s].secondEdge);
        }
    }
    const CaseEntry empty[16];
    EXPECT_EQ(field::CompactCaseTable(empty).count[5], 0);
}

TEST(GridCell, IndexSetsABitPerCornerStrictlyAbove) {
    EXPECT_EQ(GridCell(1, 1, 1, 1).CaseIndex(1.0f), 0);
    EXPECT_EQ(GridCell(1, 1, 1, 1).CaseIndex(0.999f), 15);
    EXPECT_EQ(GridCell(0.7f, 0.5f, 0.7f, 0.5f).CaseIndex(0.6f), 10);
    EXPECT_EQ(GridCell(0.5f, 0.7f, 0.5f, 0.7f).CaseIndex(0.6f), 5);
    EXPECT_EQ(GridCell(0.6f, 0.5f, 0.5f, 0.5f).CaseIndex(0.6f), 0); // equal is not above
    EXPECT_EQ(GridCell(1, 0, 0, 0).CaseIndex(0.5f), 8);
    EXPECT_EQ(GridCell(0, 0, 0, 1).CaseIndex(0.5f), 1);
    EXPECT_EQ(GridCell(kNaN, 1, 1, 1).CaseIndex(0.5f), 7);
    EXPECT_EQ(GridCell(1, 1, 1, kNaN).CaseIndex(0.5f), 14);
    EXPECT_EQ(GridCell(1, 1, 1, 1).CaseIndex(kNaN), 0);
}

} // namespace
