#include "reports/filereport/ReportCriteria.h"

#include "catalog/TextHelpers.h"
#include "framework/core/SysUtils.h"

namespace reports {

std::string NormalisedReportComment(const std::string& Comment) {
    const std::string s = catalog::UpperCaseCopy(framework::Trim(Comment));
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '\n') continue;
        out += c == '\r' ? ' ' : c;
    }
    return out;
}

std::vector<std::string> SplitReportKeywords(const std::string& Text) {
    constexpr size_t kMostKeywords = 100;
    std::vector<std::string> keywords;
    std::string rest = framework::Trim(Text);
    while (!rest.empty()) {
        const size_t blank = rest.find(' ');
        if (blank == std::string::npos) {
            keywords.push_back(rest);
            break;
        }
        if (blank > 0) keywords.push_back(rest.substr(0, blank));
        rest.erase(0, blank + 1);
    }
    if (keywords.size() > kMostKeywords) keywords.resize(kMostKeywords);
    return keywords;
}

bool ReportKeywordsPass(uint8_t Operator, const std::vector<std::string>& Keywords, int32_t MatchesRequired,
                        const std::string& Comment) {
    if (Keywords.empty()) return true;
    int found = 0;
    for (const std::string& keyword : Keywords) {
        const bool here = Comment.find(keyword) != std::string::npos;
        if (Operator == rcAllKeywords) {
            if (!here) return false;
            continue;
        }
        if (here) ++found;
        if (found >= MatchesRequired) return true;
    }
    return Operator == rcAllKeywords || found >= MatchesRequired;
}

}  // namespace reports
