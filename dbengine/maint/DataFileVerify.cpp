// Verification and repair of the data file's header and field descriptors.

#include <algorithm>
#include <string>

#include "dbengine/data/DataFile.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {

namespace {

bool IsSizedType(uint8_t type) {
    return type == fldString || type == fldBytes || type == fldVarBytes;
}

bool NameTaken(const std::vector<TFieldDescriptor>& fields, size_t self, const std::string& upper) {
    for (size_t j = 0; j < fields.size(); ++j)
        if (j != self && SameNameText(TrimText(fields[j].Name), upper)) return true;
    return false;
}

// A name for a field that clashes with another: the current name (with "_" in front when it does
// not start as a name must) with "_" and a number behind it, cut so that the whole stays within 30
// characters, the number counting up from the field number until no other field has the name.
// At most one try per field plus one, so the search always ends.
std::string UniqueFieldName(const std::vector<TFieldDescriptor>& fields, size_t self) {
    // Names compare as far as a zero byte: what follows one could never tell two names apart.
    const std::string& name = fields[self].Name;
    std::string base = TrimText(name.substr(0, name.find('\0')));
    std::string upper = base;
    UpperCaseLocale(0, 0, upper);
    if (upper.empty() || !IsValidFieldNameStart(upper[0])) base = "_" + base;
    int32_t n = std::max<int32_t>(fields[self].FieldNo, 1);
    for (size_t tries = 0; tries <= fields.size(); ++tries, ++n) {
        std::string suffix = "_" + std::to_string(n);
        std::string candidate = base.substr(0, MaxFieldNameLength - suffix.size()) + suffix;
        std::string cu = candidate;
        UpperCaseLocale(0, 0, cu);
        if (!NameTaken(fields, self, cu)) return candidate;
    }
    return base.substr(0, MaxFieldNameLength);  // not reached: fewer names than tries
}

}  // namespace

bool TDataFile::VerifyHeader(TVerifyLog& log, bool verifyOnly) {
    bool valid = true;
    auto report = [&](const std::string& text, bool fixable) {
        valid = false;
        if (verifyOnly)
            log.DoVerifyLog(text);
        else
            log.DoVerifyLog(text + (fixable ? ", error fixed" : ", error cannot be fixed"));
        return !verifyOnly && fixable;
    };
    const std::string tail = " in table header";

    uint32_t expected = RecordHeaderSize;
    int blobFields = 0;
    for (size_t i = 0; i < Descriptors.size(); ++i) {
        TFieldDescriptor& d = Descriptors[i];
        const int32_t position = static_cast<int32_t>(i + 1);
        const uint8_t storedValueSize = d.ValueSize;
        ComputeValueSize(d);
        // A field whose type or size cannot be repaired keeps the value size it was stored with:
        // nothing better is known of its place in the record, and a size computed from the damage
        // would move every later field and cut the records as misaligned.
        if (d.FieldType == fldNone || (IsSizedType(d.FieldType) && d.Size == 0))
            d.ValueSize = storedValueSize;
        std::string upper = TrimText(d.Name);
        UpperCaseLocale(0, 0, upper);
        std::string dupKey = upper;
        const std::string storedName = d.Name;
        upper = d.Name;
        UpperCaseLocale(0, 0, upper);

        if (upper.empty()) {
            if (report("Invalid field name (blank) for field # " + std::to_string(d.FieldNo) + tail, true))
                d.Name = ("Repaired_Fld" + std::to_string(d.FieldNo)).substr(0, MaxFieldNameLength);
        } else if (!IsValidFieldNameStart(upper[0])) {
            if (report("Invalid field name (first character) for field " + d.Name + tail, true))
                d.Name = ("_" + d.Name).substr(0, MaxFieldNameLength);
        }
        if (upper.size() > MaxFieldNameLength) {
            if (report("Invalid field name (too long) for field " + d.Name + tail, true))
                d.Name = d.Name.substr(0, MaxFieldNameLength);
        }
        // A name given by a repair above may be one that another field has already: it is made
        // unique at once, so that the repaired header never holds two equal names.
        if (!verifyOnly && d.Name != storedName) {
            std::string now = TrimText(d.Name);
            UpperCaseLocale(0, 0, now);
            if (NameTaken(Descriptors, i, now)) d.Name = UniqueFieldName(Descriptors, i);
        }
        if (!dupKey.empty()) {
            for (size_t j = 0; j < Descriptors.size(); ++j) {
                if (j == i || !SameNameText(TrimText(Descriptors[j].Name), dupKey)) continue;
                if (report("Invalid field name (duplicate) for field " + d.Name + tail, true)) {
                    std::string now = TrimText(d.Name);
                    UpperCaseLocale(0, 0, now);
                    if (NameTaken(Descriptors, i, now)) d.Name = UniqueFieldName(Descriptors, i);
                }
            }
        }
        if (d.FieldType == fldNone)
            report("Invalid field data type (Unknown) for field " + d.Name + tail, false);
        if (IsSizedType(d.FieldType)) {
            if (d.Size > MaxFieldSize) {
                if (report("Invalid field length for field " + d.Name + tail + " (" + std::to_string(d.Size) +
                               ")",
                           true)) {
                    d.Size = MaxFieldSize;
                    ComputeValueSize(d);
                }
            } else if (d.Size == 0) {
                report("Invalid field length for field " + d.Name + tail + " (0)", false);
            }
        } else if (d.Size != 0) {
            if (report("Invalid field length for field " + d.Name + tail, true)) {
                d.Size = 0;
                ComputeValueSize(d);
            }
        }
        if (!IsValidValueText(d.DefaultValue, d.FieldType))
            if (report("Invalid default value for field " + d.Name + tail, true)) d.DefaultValue.clear();
        if (!IsValidValueText(d.MinValue, d.FieldType))
            if (report("Invalid minimum value for field " + d.Name + tail, true)) d.MinValue.clear();
        if (!IsValidValueText(d.MaxValue, d.FieldType))
            if (report("Invalid maximum value for field " + d.Name + tail, true)) d.MaxValue.clear();
        if (d.FieldType != fldBCD && d.Decimals != 0) {
            if (report("Invalid field decimals for field " + d.Name + tail, true)) {
                d.Decimals = 0;
                ComputeValueSize(d);
            }
        }
        uint32_t offset = d.IsAutoInc() ? AutoIncFieldOffset : expected;
        if (d.Offset != offset)
            if (report("Invalid field offset for field " + d.Name + tail, true))
                d.Offset = static_cast<uint16_t>(offset);
        if (d.FieldNo != position)
            if (report("Invalid field number for field " + d.Name + tail, true))
                d.FieldNo = static_cast<int16_t>(position);
        if (!d.IsAutoInc()) expected += d.ValueSize + 1u;
        if (d.FieldType == fldBlob) ++blobFields;
    }

    if (Header.RecordSize != expected)
        if (report("Invalid physical record length in table header", true))
            Header.RecordSize = static_cast<uint16_t>(expected);

    const int64_t dataStart =
        static_cast<int64_t>(DataHeaderSize) + int64_t(Header.FieldCount) * FieldDescriptorSize;
    // A record size of 0 (possible only when just verifying) counts every byte as surplus.
    auto surplus = [&](int64_t size) {
        if (size <= dataStart) return int64_t{0};
        return Header.RecordSize == 0 ? size - dataStart : (size - dataStart) % Header.RecordSize;
    };
    int64_t size = GetFileSize();
    if (int64_t rest = surplus(size); rest != 0) {
        if (report("Physical records not aligned on even record size boundaries", true)) {
            if (SeekFile(0, size - rest) != size - rest) RaiseTable(DBE_WRITEERR);
            TruncateFile();
            if (ForceFlush()) FlushFile();
        }
    }
    size = GetFileSize();
    int64_t records = 0;
    if (size > dataStart && Header.RecordSize != 0) records = (size - dataStart) / Header.RecordSize;
    if (Header.NextRecordNo != records + 1)
        if (report("Physical record count not correct", true))
            Header.NextRecordNo = static_cast<int32_t>(records + 1);
    if (Header.FirstFreeRecord < 0 || Header.FirstFreeRecord > records)
        if (report("Invalid next free record pointer", true)) Header.FirstFreeRecord = 0;
    if (Header.BlobFieldCount != blobFields)
        if (report("Invalid BLOB field count in table header", true))
            Header.BlobFieldCount = static_cast<int16_t>(blobFields);

    if (!verifyOnly) {
        Header.Version = DataFileVersion;
        // The record pass of the repair rebuilds the chain of deleted records.
        Header.FirstFreeRecord = 0;
        Header.HeaderModified = 1;
        DescriptorsModified = true;
    }
    return valid;
}

}  // namespace dbengine
