#include "cataloging/specs/IncludeExclude.h"

#include "catalog/Globals.h"
#include "framework/core/Masks.h"

namespace cataloging {

namespace {

std::string WithFinalBackslash(const std::string& Folder) {
    return Folder.empty() || Folder.back() == '\\' ? Folder : Folder + "\\";
}

bool AllEmpty(const TSpecList& Specs) {
    for (const auto& s : Specs)
        if (!s.Text().empty()) return false;
    return true;
}

}  // namespace

bool MatchesSpecs(const TSpecList& Specs, const std::string& Folder, const std::string& Name) {
    const std::string folder = WithFinalBackslash(Folder);
    for (const auto& entry : Specs) {
        const std::string spec = entry.Text();
        if (spec.empty()) continue;
        const bool withFolder = spec.find_first_of("\\:") != std::string::npos;
        try {
            if (framework::MatchesMask(withFolder ? folder + Name : Name, spec)) return true;
        } catch (const framework::EMaskException&) {
            // A malformed spec matches nothing.
        }
    }
    return false;
}

bool PassesSpecs(const TSpecList& Include, const TSpecList& Exclude, const std::string& Folder,
                 const std::string& Name) {
    const bool included = MatchesSpecs(Include, Folder, Name) || AllEmpty(Include);
    return included && !MatchesSpecs(Exclude, Folder, Name);
}

bool MatchesIncludeSpecs(const std::string& Folder, const std::string& Name) {
    return MatchesSpecs(catalog::IncludeSpecs, Folder, Name);
}

bool MatchesExcludeSpecs(const std::string& Folder, const std::string& Name) {
    return MatchesSpecs(catalog::ExcludeSpecs, Folder, Name);
}

bool PassesIncludeExclude(const std::string& Folder, const std::string& Name, bool ScanOnly) {
    if (ScanOnly) return true;
    return PassesSpecs(catalog::IncludeSpecs, catalog::ExcludeSpecs, Folder, Name);
}

}  // namespace cataloging
