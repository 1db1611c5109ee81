#include "cataloging/editors/CommentFilter.h"

#include <charconv>
#include <cmath>

#include "framework/core/Masks.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/data/Fields.h"

namespace cataloging {

using namespace framework;

namespace {

constexpr size_t kMaxKeywords = 100;

template <class T>
bool CompareBy(uint8_t Op, const T& A, const T& B) {
    switch (Op) {
        case ccNotEqual:
            return A != B;
        case ccLess:
            return A < B;
        case ccLessEqual:
            return A <= B;
        case ccGreater:
            return A > B;
        case ccGreaterEqual:
            return A >= B;
        default:
            return A == B;
    }
}

// A whole number of bytes from the size field's text; false when it is not one.
bool ParseFileSize(const std::string& Text, int64_t& Value) {
    std::string digits = Trim(Text);
    if (const size_t dot = digits.find('.'); dot != std::string::npos) {
        if (digits.find_first_not_of('0', dot + 1) != std::string::npos) return false;
        digits.resize(dot);
    }
    if (digits.empty()) return false;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), Value);
    return ec == std::errc() && end == digits.data() + digits.size();
}

// The name without an archive member's folder suffix ("NAME <FOLDER/>" gives "NAME").
std::string WithoutMemberFolder(const std::string& Name) {
    if (Name.empty() || Name.back() != '>') return Name;
    const size_t cut = Name.find(" <");
    return cut == std::string::npos ? Name : Name.substr(0, cut);
}

}  // namespace

TCommentEditorSpec VolumeEntriesView(const std::string& CatalogVolumeLabel) {
    TCommentEditorSpec view;
    view.FilterMode = cefVolumeLabel;
    view.Criteria = {LiteralMask(CatalogVolumeLabel)};
    return view;
}

std::string PrepareCommentText(const std::string& Comment) {
    std::string out;
    out.reserve(Comment.size());
    for (char c : UpperCase(Trim(Comment))) {
        if (c == '\n') continue;
        out += c == '\r' ? ' ' : c;
    }
    return out;
}

bool TCommentFilter::Keep(int32_t Tag) {
    if (FKept.size() >= KeptLimit || FKept.count(Tag)) return false;
    FKept.insert(Tag);
    return FKept.size() == KeptLimit;
}

bool TCommentFilter::KeywordsMatch(const std::string& Prepared) {
    if (!FKeywordsParsed) {
        FKeywords.clear();
        const std::string line = Trim(FirstLine());
        size_t at = 0;
        while (at < line.size() && FKeywords.size() < kMaxKeywords) {
            const size_t end = std::min(line.find(' ', at), line.size());
            if (end > at) FKeywords.push_back(line.substr(at, end - at));
            at = end + 1;
        }
        FKeywordsParsed = true;
    }
    if (FKeywords.empty()) return false;
    int found = 0;
    for (const std::string& word : FKeywords) {
        if (Prepared.find(word) != std::string::npos) {
            if (Spec.CompareOp == 1 && ++found >= Spec.KeywordCount) return true;
        } else if (Spec.CompareOp == 0) {
            return false;
        }
    }
    return Spec.CompareOp == 0;
}

bool TCommentFilter::Accepts(TDataSet& Entries) {
    auto text = [&](const char* Name) { return Entries.FieldByName(Name)->AsString(); };
    auto tag = [&] { return Entries.FieldByName("Tag")->AsInteger(); };
    auto keptOr = [&](bool Matches) { return Matches || IsKept(tag()); };
    switch (Spec.FilterMode) {
        case cefVolumeLabel: {
            const std::string label = text("VolumeLabel");
            for (const std::string& mask : Spec.Criteria)
                if (MatchesMask(label, mask)) return true;
            return false;
        }
        case cefFileName:
            return MatchesMask(WithoutMemberFolder(text("FileName")), FirstLine());
        case cefFolderName:
            return MatchesMask(text("FolderName"), FirstLine());
        case cefArchiveID:
            return MatchesMask(text("ArchiveID"), FirstLine());
        case cefFileSize: {
            int64_t size = 0;
            return ParseFileSize(text("FileSize"), size) && CompareBy(Spec.CompareOp, size, Spec.SizeValue);
        }
        case cefFileDate: {
            TField* date = Entries.FieldByName("DateModified");
            if (date->IsNull()) return false;
            const double day = std::floor(date->AsDateTime());
            return CompareBy(Spec.CompareOp, day, std::floor(double(Spec.DateValue)));
        }
        case cefCategory:
            return keptOr(text("CategoryCode") == FirstLine());
        case cefCommentText:
            return keptOr(PrepareCommentText(text("Comment")).find(FirstLine()) != std::string::npos);
        case cefKeywords:
            return keptOr(KeywordsMatch(PrepareCommentText(text("Comment"))));
        case cefEmptyComment:
            return keptOr(Trim(text("Comment")).empty());
        case cefImported: {
            const int32_t t = tag();
            if (IsKept(t)) return true;
            if (!ImportListed || !ImportListed(t)) return false;
            Keep(t);
            return true;
        }
        default:
            return true;
    }
}

}  // namespace cataloging
