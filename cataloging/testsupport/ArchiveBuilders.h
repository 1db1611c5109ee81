#pragma once
// Test support: archives of the formats the catalog lists, built byte by byte from member
// descriptions (only the headers matter; the data areas are filled with a pattern), and a run that
// records what the readers give it.

#include <cstdint>
#include <string>
#include <vector>

#include "cataloging/archives/ArchiveRun.h"
#include "platform/LittleEndian.h"

namespace cataloging::testsupport {

using TBytes = std::vector<uint8_t>;

uint16_t DosDate(int Year, int Month, int Day);
uint16_t DosTime(int Hour, int Min, int Sec);

struct TMember {
    std::string Name;
    uint32_t Size = 0;    // uncompressed
    uint32_t Packed = 0;  // bytes of data that follow the header
    uint32_t Attribute = 0;
    std::string Comment;
    uint8_t Status = 0;  // LBR: 0 active
    uint16_t Date = 0x1D41;  // 1 October 1994
    uint16_t Time = 0x6000;  // 12:00:00
    TMember(std::string AName, uint32_t ASize, uint32_t APacked, uint32_t AAttribute = 0, std::string AComment = {},
            uint8_t AStatus = 0)
        : Name(std::move(AName)),
          Size(ASize),
          Packed(APacked),
          Attribute(AAttribute),
          Comment(std::move(AComment)),
          Status(AStatus) {}
};

// WithEnd adds the end marker (0x1A 0).
TBytes ArcArchive(const std::vector<TMember>& Members, bool WithEnd);
TBytes HypArchive(const std::vector<TMember>& Members);
TBytes LzhArchive(const std::vector<TMember>& Members);
TBytes SqzArchive(const std::vector<TMember>& Members);
// Comments are stored after the members; each entry links to the next; a last, empty entry ends.
TBytes ZooArchive(const std::vector<TMember>& Members);
TBytes ArjArchive(const std::string& MainComment, const std::vector<TMember>& Members);
// The marker block, an archive header, the file blocks, then Tail as it is.
TBytes RarArchive(const std::vector<TMember>& Members, const TBytes& Tail);
// The members' data (each followed by its comment), the directory, the trailer.
TBytes DwcArchive(const std::vector<TMember>& Members);
// DirSectors directory sectors (the first record describes the directory); Name holds the 8 + 3
// blank-padded characters; Size is the length in sectors, Packed the day count, Attribute the pad.
TBytes LbrArchive(int16_t DirSectors, const std::vector<TMember>& Members);

class TRecordingRun : public TArchiveRun {
public:
    std::vector<TArchiveEntry> Entries;
    std::vector<std::string> Errors;
    std::vector<std::string> Asked;  // "folder|name" given to the specs
    std::string Refuse = "\x01";     // a member name the specs refuse
    int Messages = 0;

    std::vector<std::string> Status;     // operation and archive name texts shown
    std::vector<std::string> Questions;  // the self-extractor questions asked
    int Answer = 0;                      // their answer
    bool Stopped = false;

    // Forgets everything, as a new run would start.
    void Reset() {
        Entries.clear();
        Errors.clear();
        Asked.clear();
        Refuse = "\x01";
        Messages = 0;
        Status.clear();
        Questions.clear();
        Answer = 0;
        Stopped = false;
        MainArchiveComment.clear();
        ExpandMode = std::string(kExpandOnDemand);
        ArchiveFileCount = ArchiveByteCount = 0;
    }
    bool StopRequested() const override { return Stopped; }
    void RequestStop() override { Stopped = true; }
    void ShowArchiveOperation(const std::string& Text) override { Status.push_back("op:" + Text); }
    void ShowArchiveName(const std::string& Text) override { Status.push_back("name:" + Text); }
    int AskExpandSfx(const std::string& Text) override {
        Questions.push_back(Text);
        return Answer;
    }
    bool PassesIncludeExclude(const std::string& FolderName, const std::string& FileName) override {
        Asked.push_back(FolderName + "|" + FileName);
        return FileName != Refuse;
    }
    void AddNewDataEntry(const TArchiveEntry& Entry) override { Entries.push_back(Entry); }
    void ProcessMessages() override { ++Messages; }
    void ShowArchiveError(const std::string& Text) override { Errors.push_back(Text); }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const auto& e : Entries) out.push_back(e.FileName);
        return out;
    }
};

}  // namespace cataloging::testsupport
