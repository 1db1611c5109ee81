#include "cataloging/archives/ArchiveFile.h"

#include <algorithm>


#include "framework/core/Exception.h"

namespace cataloging {

using namespace framework;

bool TArchiveFile::Open(const std::string& Path) {
    try {
        FStream = std::make_unique<TFileStream>(Path, fmOpenRead | fmShareDenyNone);
    } catch (const Exception&) {
        return false;
    }
    FSize = FStream->Size();
    FPosition = 0;
    return true;
}

int32_t TArchiveFile::Read(void* Buffer, int32_t Count) {
    if (!FStream || Count <= 0) return 0;
    const int32_t n = FStream->Read(Buffer, Count);
    if (n > 0) FPosition += n;
    return n < 0 ? 0 : n;
}

bool TArchiveFile::Seek(int64_t Position) {
    if (!FStream || Position < 0 || Position > FSize) return false;
    if (FStream->Seek(Position, soFromBeginning) != Position) return false;
    FPosition = Position;
    return true;
}

bool ReadCommentAt(TArchiveFile& File, int64_t Position, int Count, std::string& Comment) {
    if (Count <= 0) return true;
    char text[43];
    Count = std::min(Count, static_cast<int>(sizeof text));
    const int64_t back = File.Position();
    if (!File.Seek(Position) || !File.ReadExact(text, Count) || !File.Seek(back)) return false;
    Comment = CutAtControlChar(std::string_view(text, static_cast<size_t>(Count)));
    return true;
}

}  // namespace cataloging
