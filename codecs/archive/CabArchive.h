#pragma once
// Cabinet archives through the platform's cabinet library: read mode lists the cabinet's entries
// into the item list and extracts them one at a time; build mode prepares the compression side,
// which this system's library does not offer (its calls fail).

#include <cstdint>
#include <string>

#include "codecs/archive/ArcArchive.h"
#include "platform/Cabinet.h"

namespace codecs {

class TArcCabItem : public TArcArchiveItem {
public:
    // The entry's data begins in an earlier cabinet of the set.
    bool StartsInPreviousCabinet = false;
};

// Compression types of a cabinet being built.
enum : uint8_t { ctNone = 0, ctMsZip = 1, ctLzx = 2 };

class TArcCabArchive : public TArcArchive {
public:
    // A mode with its lowest bit set builds a new cabinet; clear reads one.
    TArcCabArchive(const std::string& fileName, int32_t mode);
    ~TArcCabArchive() override;

    TArcArchiveItem* CreateItem(const std::string& fileName) override;
    void ExtractItemAt(int index) override;
    void ExtractItemToStreamAt(int, framework::TStream*) override {}
    void LoadArchive() override;
    void SaveArchive() override;
    void TestItemAt(int) override {}
    void SetSpanSize(int32_t value) override;
    void Add(TArcArchiveItem* item) override;

    virtual void DoConfirmOverwrite(std::string& fileName, bool& confirm);

    void CloseContexts();
    void SetSetID(uint16_t value);
    // The code FCIAddFile takes for CompressionType.
    uint16_t CompressionCode() const;

    std::string CabName;  // file-name part of the archive name
    std::string CabPath;  // folder part, with its trailing "\"
    platform::CCAB CabParams;
    platform::HFCI FciContext = 0;
    platform::HFDI FdiContext = 0;
    platform::FDICABINETINFO CabInfo;
    platform::ERF ErrorInfo;
    int32_t CabFileHandle = 0;
    TArcCabItem* ActiveItem = nullptr;  // not owned
    uint32_t ItemBytesDone = 0;
    std::string NextCabinet;
    std::string NextDisk;
    int32_t TempFileCount = 0;
    uint16_t CurrentCab = 0;
    uint32_t CabSize = 0;
    uint8_t CompressionType = ctNone;
    uint16_t FileCount = 0;
    int32_t FolderThreshold = 0;
    uint16_t FolderCount = 0;
    bool HasPrev = false;
    bool HasNext = false;
    uint16_t SetID = 0;
    // Target of the file being extracted (for the attributes applied when it is closed).
    std::string ExtractTarget;
    // The target is open for the library to write (a partial file is removed when copying fails).
    bool TargetOpen = false;

private:
    void ListCabinet();
    void PrepareCompression();
};

}  // namespace codecs
