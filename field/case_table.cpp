#include "field/case_table.h"

CaseEntry::CaseEntry(std::optional<EdgeSegment> first, std::optional<EdgeSegment> second) {
    if (first) firstSegment = new EdgeSegment(*first);
    if (second) secondSegment = new EdgeSegment(*second);
}

namespace field {

field::CaseSegments CompactCaseTable(const CaseEntry (&table)[16]) {
    field::CaseSegments out{};
    for (int i = 0; i < 16; ++i) {
        int n = 0;
        for (const EdgeSegment* s : {table[i].firstSegment, table[i].secondSegment}) {
            if (s) out.segment[i][n++] = {s->firstEdge, s->secondEdge};
        }
        out.count[i] = std::uint8_t(n);
    }
    return out;
}

} // namespace field
