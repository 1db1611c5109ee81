// Verification and repair of the index file's header against the table's fields.

#include <algorithm>
#include <string>

#include "dbengine/index/IndexFile.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {

bool TIndexFile::VerifyHeader(TVerifyLog& log, bool verifyOnly) {
    bool valid = true;
    auto report = [&](const std::string& text, const char* fixed) {
        valid = false;
        log.DoVerifyLog(verifyOnly ? text : text + fixed);
    };
    const char* errorFixed = ", error fixed";
    const char* fieldRemoved = ", error fixed and field removed from index";

    // The descriptors are examined as copies with every fix but the renames applied, so that
    // verification reports what repair fixes; only repair stores them back. Names change only in
    // repair: verification reports both of two equal names, repair renames the first it meets. The count read
    // from the file may exceed the descriptor slots: only the slots that exist are looked at.
    const int count = std::min<int>(Header.IndexCount, MaxSecondaryIndexes);
    bool internalPrimary = Header.InternalPrimaryIndex != 0;
    std::array<TIndexDescriptor, IndexDescriptorCount> work = Header.Descriptors;

    // Step through the field list of one descriptor: gaps and unknown fields are taken out (a
    // BLOB field, or a field that is no text in the full-text descriptor, cannot be a key part
    // either). Returns the key part; `kept` gets the number of fields that stayed.
    auto checkFields = [&](int i, TIndexDescriptor& d, const std::string& name, int& kept) {
        int keyPart = 0;
        kept = 0;
        auto removeAt = [&](int j) {
            for (int k = j; k + 1 < MaxIndexFields; ++k) d.FieldNumbers[k] = d.FieldNumbers[k + 1];
            d.FieldNumbers[MaxIndexFields - 1] = 0;
        };
        // Each removal shortens the list for good, so the walk takes at most 2 x 16 steps.
        for (int j = 0; j < MaxIndexFields;) {
            uint16_t n = d.FieldNumbers[j];
            if (n == 0) {
                bool later = false;
                for (int k = j + 1; k < MaxIndexFields; ++k) later = later || d.FieldNumbers[k] != 0;
                if (!later) break;
                report("Invalid field number 0 in index " + name, fieldRemoved);
                removeAt(j);
                continue;
            }
            const TFieldDescriptor* field = Owner->FindField(n);
            bool usable = field != nullptr && field->FieldType != fldBlob;
            if (i == SysTextIndex)
                usable = field != nullptr && (field->FieldType == fldString ||
                                              (field->FieldType == fldBlob && field->SubType == fldstMemo));
            if (!usable) {
                if (i == 0 && internalPrimary && field == nullptr) break;
                report("Invalid field number " + std::to_string(n) + " in index " + name, fieldRemoved);
                removeAt(j);
                continue;
            }
            if (i == 0 && internalPrimary) {
                report("Invalid internal primary index flag in header", errorFixed);
                internalPrimary = false;
            }
            keyPart += KeyPartSize(*field) + 1;
            ++kept;
            ++j;
        }
        return keyPart;
    };
    auto checkCountAndPages = [&](TIndexDescriptor& d, const std::string& name, int kept) {
        if (d.FieldCount != kept) {
            report("Invalid key field count of " + std::to_string(d.FieldCount) + " for index " + name,
                   errorFixed);
            d.FieldCount = static_cast<uint8_t>(kept);
        }
        // Pointers stay as they are: repair rebuilds every index afterwards.
        if (!IsValidPageNumber(d.RootPage, Header.NextPageNo))
            report("Invalid root page pointer for index " + name, errorFixed);
        if (!IsValidPageNumber(d.FreePage, Header.NextPageNo))
            report("Invalid free page pointer for index " + name, errorFixed);
        if (!IsValidPageNumber(d.DataRootPage, Header.NextPageNo))
            report("Invalid data root page pointer for index " + name, errorFixed);
    };

    for (int i = 0; i <= count; ++i) {
        TIndexDescriptor& d = work[i];
        d.RemoveMark = 0;
        if (i > 0) {
            std::string u = TrimText(d.Name);
            UpperCaseLocale(0, 0, u);
            if (u.empty() || !IsIdentStart(u[0])) {
                report("Invalid index name for index " + d.Name, errorFixed);
                if (!verifyOnly) d.Name = ("_" + d.Name).substr(0, MaxIndexNameLength);
            }
            if (!u.empty()) {
                for (int k = 1; k <= count; ++k) {
                    if (k == i || !SameNameText(TrimText(work[k].Name), u)) continue;
                    report("Duplicate index name for index " + d.Name, errorFixed);
                    if (!verifyOnly) d.Name = ("_" + d.Name).substr(0, MaxIndexNameLength);
                }
            }
        } else if (!d.Name.empty() || d.Unique == 0) {
            d.Name.clear();
            d.Unique = 1;
        }
        int kept = 0;
        int keyPart = checkFields(i, d, d.Name, kept);
        if (i == 0 && keyPart == 0 && !internalPrimary) {
            report("Invalid internal primary index flag in header", errorFixed);
            internalPrimary = true;
            ClearIndexDesc(d);
        } else if (keyPart > MaxKeyFieldPart || (keyPart == 0 && i != 0)) {
            report("Invalid key size of " + std::to_string(keyPart) + " for index " + d.Name,
                   ", error fixed and index removed");
            d.RemoveMark = 1;
        }
        if (d.RemoveMark == 0) {
            bool counted = d.Unique == 0 && !(i == 0 && internalPrimary);
            int expectedKey = keyPart + (counted ? 4 : 0);
            if (d.KeySize != expectedKey) {
                report("Invalid key size of " + std::to_string(d.KeySize) + " for index " + d.Name,
                       errorFixed);
                d.KeySize = static_cast<uint16_t>(expectedKey);
            }
        }
        checkCountAndPages(d, d.Name, kept);
    }
    {
        TIndexDescriptor& text = work[SysTextIndex];
        int kept = 0;
        checkFields(SysTextIndex, text, SysTextName, kept);
        checkCountAndPages(text, SysTextName, kept);
    }

    if (!verifyOnly) {
        // The renames above may leave two names equal (two blank names both become "_", a name
        // cut to 30 characters may meet another): each later one of such a pair gets a number.
        // A zero byte ends a name for every comparison, so the new name is built from what
        // stands before it.
        for (int i = 2; i <= count; ++i) {
            auto taken = [&](const std::string& name) {
                for (int k = 1; k <= count; ++k)
                    if (k != i && SameNameText(TrimText(work[k].Name), TrimText(name))) return true;
                return false;
            };
            if (!taken(work[i].Name)) continue;
            const std::string& name = work[i].Name;
            std::string base = TrimText(name.substr(0, name.find('\0')));
            if (base.empty() || !IsIdentStart(base[0])) base = "_" + base;
            for (int n = i; n <= i + count + 1; ++n) {
                std::string suffix = "_" + std::to_string(n);
                std::string candidate = base.substr(0, MaxIndexNameLength - suffix.size()) + suffix;
                if (!taken(candidate)) {
                    work[i].Name = candidate;
                    break;
                }
            }
        }
        // Under the internal record-order index descriptor 0 holds nothing, as the engine
        // writes it; whatever a damaged one still lists behind a missing field goes.
        if (internalPrimary) ClearIndexDesc(work[0]);
        Header.Descriptors = work;
        Header.IndexCount = static_cast<uint8_t>(count);
        Header.InternalPrimaryIndex = internalPrimary ? 1 : 0;
        for (int i = count; i >= 0; --i)
            if (Header.Descriptors[i].RemoveMark != 0) RemoveIndexDesc(static_cast<uint8_t>(i), true);
        TIndexDescriptor& deleted = Header.Descriptors[SysDeletedIndex];
        deleted.Name = SysDeletedName;
        deleted.KeySize = SysDeletedKeySize;
        deleted.Compression = icNone;
        deleted.FieldCount = 0;
        deleted.FieldNumbers.fill(0);
        TIndexDescriptor& text = Header.Descriptors[SysTextIndex];
        text.Name = SysTextName;
        text.KeySize = SysTextKeySize;
        text.Compression = icFull;
        Header.Version = IndexFileVersion;
        Header.HeaderModified = 1;
    }
    return valid;
}

}  // namespace dbengine
