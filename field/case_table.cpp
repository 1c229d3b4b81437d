#include "field/case_table.h"

CaseEntry caseTable[16];

CaseEntry::CaseEntry(std::optional<EdgeSegment> first, std::optional<EdgeSegment> second) {
    if (first) firstSegment = new EdgeSegment(*first);
    if (second) secondSegment = new EdgeSegment(*second);
}

void BuildCaseTable() {
    const field::CaseSegments& rows = field::kCaseSegments;
    for (int i = 0; i < 16; ++i) {
        std::optional<EdgeSegment> first, second;
        if (rows.count[i] > 0) first = rows.segment[i][0];
        if (rows.count[i] > 1) second = rows.segment[i][1];
        // The temporary's records pass to the table; its destruction releases nothing.
        caseTable[i] = CaseEntry(first, second);
    }
}

namespace field {

CaseSegments CompactCaseTable(const CaseEntry (&table)[16]) {
    CaseSegments out{};
    for (int i = 0; i < 16; ++i) {
        int n = 0;
        for (const EdgeSegment* s : {table[i].firstSegment, table[i].secondSegment}) {
            if (s) out.segment[i][n++] = *s;
        }
        out.count[i] = std::uint8_t(n);
    }
    return out;
}

} // namespace field
