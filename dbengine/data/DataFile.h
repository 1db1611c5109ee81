#pragma once
// The data file of a table: a 127-byte header, one 768-byte descriptor per field, then records
// of one fixed size. Record r (from 1) starts at 127 + FieldCount * 768 + (r - 1) * RecordSize.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/os/FileHandler.h"
#include "dbengine/session/EngineError.h"

namespace dbengine {

class TDataTable;

constexpr size_t DataHeaderSize = 127;
constexpr uint8_t DataFileVersion = 5;
// The engine version written by every header write: 3.24 as major * 10000 + minor * 100.
constexpr uint32_t EngineWriterVersion = 32400;
// The stored write time is the day number minus this (the day count of 30 December 1899 from
// the start of the calendar).
constexpr double StoredTimeBias = 693594.0;
constexpr uint16_t MaxFieldCount = 1024;
constexpr int16_t MaxBlobFieldCount = 128;
constexpr size_t MaxTableDescriptionLength = 50;
constexpr size_t MaxTablePasswordLength = 15;

// The header as stored; Description and Password hold the stored (scrambled when encrypted)
// characters.
struct TDataHeader {
    int32_t ChangeCount = 0;
    uint32_t BlobBlockSize = 0;  // low 16 bits used; 0 means 512
    uint8_t Version = 0;
    int32_t FirstFreeRecord = 0;
    int32_t NextRecordNo = 0;
    int32_t LastRecordId = 0;
    uint16_t RecordSize = 0;
    uint16_t FieldCount = 0;
    int16_t BlobFieldCount = 0;
    double LastWriteTime = 0;
    std::string Description;
    uint8_t Encrypted = 0;
    std::string Password;
    int16_t LanguageId = 0;
    uint16_t SortId = 0;
    int16_t UserMajorVersion = 0;
    int16_t UserMinorVersion = 0;
    uint8_t HeaderModified = 0;
    int32_t LastBlobStamp = 0;
    uint32_t WriterVersion = 0;
    uint32_t Reserved120 = 0;

    std::array<uint8_t, DataHeaderSize> Encode() const;
    static TDataHeader Decode(const uint8_t* bytes);
};

class TDataFile : public TFileHandler {
public:
    explicit TDataFile(TDataTable* table) : Table(table) {}
    ~TDataFile() override;

    void OpenFile() override;
    void CloseFile() override;
    // Prepares header and descriptors in memory and creates the file; both reach the file with
    // the next WriteHeader and WriteDescriptors.
    void CreateDataFile(int16_t languageId, uint16_t sortId, int16_t userMajorVersion,
                        int16_t userMinorVersion, bool encrypted, const std::string& password,
                        const std::string& description, uint16_t blobBlockSize,
                        const std::vector<TFieldDescriptor>& descriptors);

    void ReadHeader();
    // True (and the new header taken) when another writer changed the header since it was read.
    bool ReloadHeaderIfChanged();
    bool WriteHeader(bool force);
    void MarkChanged();
    void ReadDescriptors();
    bool WriteDescriptors();
    // Drops every record: the file ends after the descriptors, numbering starts again.
    void EmptyFile();
    void CheckVersion();
    void CheckHeader();
    void SetTableInfo(const std::string& password, const std::string& description, int32_t lastRecordId,
                      int16_t userMajorVersion, int16_t userMinorVersion);
    int32_t NextRecordId();
    void SetLastRecordId(int32_t value);
    int32_t NextBlobStamp();
    std::string GetDescription() const;
    std::string GetPassword() const;

    uint16_t FieldCount() const { return Header.FieldCount; }
    int16_t BlobFieldCount() const { return Header.BlobFieldCount; }
    int32_t LastRecordId() const { return Header.LastRecordId; }
    uint16_t RecordSize() const { return Header.RecordSize; }
    uint32_t BlobBlockSize() const;
    int16_t LanguageId() const { return Header.LanguageId; }
    uint16_t SortId() const { return Header.SortId; }
    int16_t UserMajorVersion() const { return Header.UserMajorVersion; }
    int16_t UserMinorVersion() const { return Header.UserMinorVersion; }
    bool Encrypted() const { return Header.Encrypted != 0; }
    int32_t RecordCount() const { return Header.NextRecordNo - 1; }
    std::array<uint8_t, DataHeaderSize> HeaderImage() const { return Header.Encode(); }
    // File offset of record r (from 1).
    int64_t RecordOffset(int32_t recordNo) const;

    // Descriptor lookups: by position (1..FieldCount), by field number, by name (ignoring case);
    // the copies found by number or name carry their Position. GetFieldPosition is 0 when absent.
    TFieldDescriptor GetFieldDescriptor(uint16_t position) const;
    bool FindFieldByNumber(int16_t fieldNo, TFieldDescriptor& out) const;
    bool FindFieldByName(const std::string& name, TFieldDescriptor& out) const;
    uint16_t GetFieldPosition(const std::string& name) const;
    void UpdateDescriptor(uint16_t position, const TFieldDescriptor& d);

    TDataTable* Table;
    TDataHeader Header;
    std::vector<TFieldDescriptor> Descriptors;
    bool DescriptorsModified = false;
    int32_t RecordsPerRead = 1;

private:
    [[noreturn]] void RaiseTable(TEngineErrorCode code) const;
    std::string TableNameForErrors() const;
    bool ForceFlush() const;
};

}  // namespace dbengine
