#pragma once
// An archive opened for listing: read-only, shared with other readers and writers, with reads that
// report how much they got and seeks that fail outside the file.

#include <cstdint>
#include <memory>
#include <string>

#include "cataloging/archives/ArchiveRun.h"
#include "framework/core/Exception.h"
#include "framework/core/Stream.h"

namespace cataloging {

class TArchiveFile {
public:
    // False when the file cannot be opened for reading.
    bool Open(const std::string& Path);
    int64_t Size() const { return FSize; }
    int64_t Position() const { return FPosition; }
    bool AtEnd() const { return FPosition >= FSize; }
    // Reads up to Count bytes; the number read.
    int32_t Read(void* Buffer, int32_t Count);
    // Reads exactly Count bytes; false (and position unknown) on a short read.
    bool ReadExact(void* Buffer, int32_t Count) { return Read(Buffer, Count) == Count; }
    // Moves to an absolute position from 0 to the file's size; false outside.
    bool Seek(int64_t Position);
    bool Skip(int64_t Count) { return Seek(FPosition + Count); }
    bool SeekEnd() { return Seek(FSize); }

private:
    std::unique_ptr<framework::TFileStream> FStream;
    int64_t FSize = 0;
    int64_t FPosition = 0;
};

// A member comment kept elsewhere in the file: Count bytes at Position (at most 43), cut at the
// first control character; the file position is kept. False when a seek or read fails.
bool ReadCommentAt(TArchiveFile& File, int64_t Position, int Count, std::string& Comment);

// Opens the archive and walks it (Walk(File) gives false for a failed walk); a failed open or walk
// is reported (ReportArchiveFailure). An exception of the walk (a member date or time that cannot
// be, among others) fails the archive too: it does not end the whole run. The file is closed on
// every way out.
template <class TWalker>
void ListArchive(TArchiveRun& Run, const TArchiveArgs& Args, TWalker&& Walk) {
    TArchiveFile file;
    bool listed = false;
    try {
        listed = file.Open(Args.Path()) && Walk(file);
    } catch (const framework::Exception&) {
        listed = false;
    }
    if (!listed) ReportArchiveFailure(Run, Args);
}

}  // namespace cataloging
