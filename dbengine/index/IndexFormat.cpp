#include "dbengine/index/IndexFormat.h"

#include <algorithm>
#include <cstring>

namespace dbengine {

void EncodeIndexDescriptor(const TIndexDescriptor& d, uint8_t* p) {
    std::memset(p, 0, IndexDescriptorSize);
    size_t n = std::min<size_t>(d.Name.size(), MaxIndexNameLength);
    p[IdName] = static_cast<uint8_t>(n);
    std::memcpy(p + IdName + 1, d.Name.data(), n);
    PutLE16(p + IdKeySize, d.KeySize);
    p[IdDescending] = d.Descending;
    p[IdCaseInsensitive] = d.CaseInsensitive;
    p[IdUnique] = d.Unique;
    p[IdCompression] = d.Compression;
    p[IdFieldCount] = d.FieldCount;
    for (int i = 0; i < MaxIndexFields; ++i) {
        p[IdFieldDescending + i] = d.FieldDescending[i];
        PutLE16(p + IdFieldNumbers + 2 * i, d.FieldNumbers[i]);
    }
    PutLE32(p + IdRootPage, d.RootPage);
    PutLE32(p + IdFreePage, d.FreePage);
    p[IdSpare94] = d.Spare94;
    p[IdRemoveMark] = d.RemoveMark;
    PutLE32(p + IdDataRootPage, d.DataRootPage);
    p[IdNoCounts] = d.NoCounts;
    p[IdTemporary] = d.Temporary;
    std::memcpy(p + IdReserved, d.Reserved.data(), IdReservedSize);
}

TIndexDescriptor DecodeIndexDescriptor(const uint8_t* p) {
    TIndexDescriptor d;
    size_t n = std::min<size_t>(p[IdName], MaxIndexNameLength);
    d.Name.assign(reinterpret_cast<const char*>(p + IdName + 1), n);
    d.KeySize = GetLE16(p + IdKeySize);
    d.Descending = p[IdDescending];
    d.CaseInsensitive = p[IdCaseInsensitive];
    d.Unique = p[IdUnique];
    d.Compression = p[IdCompression];
    d.FieldCount = p[IdFieldCount];
    for (int i = 0; i < MaxIndexFields; ++i) {
        d.FieldDescending[i] = p[IdFieldDescending + i];
        d.FieldNumbers[i] = GetLE16(p + IdFieldNumbers + 2 * i);
    }
    d.RootPage = GetLE32(p + IdRootPage);
    d.FreePage = GetLE32(p + IdFreePage);
    d.Spare94 = p[IdSpare94];
    d.RemoveMark = p[IdRemoveMark];
    d.DataRootPage = GetLE32(p + IdDataRootPage);
    d.NoCounts = p[IdNoCounts];
    d.Temporary = p[IdTemporary];
    std::memcpy(d.Reserved.data(), p + IdReserved, IdReservedSize);
    return d;
}

void EncodeIndexHeader(const TIndexHeader& h, uint8_t* p) {
    std::memset(p, 0, IndexHeaderSize);
    PutLE32(p + IhChangeCount, h.ChangeCount);
    p[IhVersion] = h.Version;
    PutLE32(p + IhNextPageNo, h.NextPageNo);
    p[IhIndexCount] = h.IndexCount;
    for (int i = 0; i < IndexDescriptorCount; ++i)
        EncodeIndexDescriptor(h.Descriptors[i], p + IhDescriptors + IndexDescriptorSize * i);
    PutLE32(p + IhRecordCount, h.RecordCount);
    p[IhInternalPrimaryIndex] = h.InternalPrimaryIndex;
    p[IhHeaderModified] = h.HeaderModified;
}

TIndexHeader DecodeIndexHeader(const uint8_t* p) {
    TIndexHeader h;
    h.ChangeCount = GetLE32(p + IhChangeCount);
    h.Version = p[IhVersion];
    h.NextPageNo = GetLE32(p + IhNextPageNo);
    h.IndexCount = p[IhIndexCount];
    for (int i = 0; i < IndexDescriptorCount; ++i)
        h.Descriptors[i] = DecodeIndexDescriptor(p + IhDescriptors + IndexDescriptorSize * i);
    h.RecordCount = GetLE32(p + IhRecordCount);
    h.InternalPrimaryIndex = p[IhInternalPrimaryIndex];
    h.HeaderModified = p[IhHeaderModified];
    return h;
}

}  // namespace dbengine
