#pragma once
// What the file report's and the disk summary's criteria share: the comment as the comment tests
// see it, the relations of the operators, and the keyword tests.

#include <cstdint>
#include <string>
#include <vector>

#include "reports/filereport/FileReportScreenForm.h"

namespace reports {

// The comment trimmed and upper-cased, line feeds gone and carriage returns turned into blanks.
std::string NormalisedReportComment(const std::string& Comment);

// Left against Right by the operator rcMatches (equal) to rcGreaterEqual; any other passes.
template <class T>
bool ReportRelation(uint8_t Operator, const T& Left, const T& Right) {
    switch (Operator) {
        case rcMatches:
            return Left == Right;
        case rcNotMatches:
            return Left != Right;
        case rcLess:
            return Left < Right;
        case rcLessEqual:
            return Left <= Right;
        case rcGreater:
            return Left > Right;
        case rcGreaterEqual:
            return Left >= Right;
        default:
            return true;
    }
}

// The blank-separated words of Text (trimmed), the first 100 of them.
std::vector<std::string> SplitReportKeywords(const std::string& Text);
// Whether the normalised Comment holds all of Keywords (rcAllKeywords) or at least MatchesRequired
// of them (rcSomeKeywords); no keywords always pass.
bool ReportKeywordsPass(uint8_t Operator, const std::vector<std::string>& Keywords, int32_t MatchesRequired,
                        const std::string& Comment);

}  // namespace reports
