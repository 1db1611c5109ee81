#include "codecs/deflate/ByteStream.h"

#include <algorithm>
#include <cstring>

namespace codecs {

int64_t TArcByteStream::Size() {
    int64_t here = Seek(0, 1);
    int64_t end = Seek(0, 2);
    Seek(here, 0);
    return end;
}

int32_t TArcMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || Pos >= static_cast<int64_t>(Data.size())) return 0;
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(Data.size()) - Pos);
    std::memcpy(buffer, Data.data() + Pos, static_cast<size_t>(n));
    Pos += n;
    return static_cast<int32_t>(n);
}

int32_t TArcMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) return 0;
    size_t end = static_cast<size_t>(Pos) + static_cast<size_t>(count);
    if (end > Data.size()) Data.resize(end);
    std::memcpy(Data.data() + Pos, buffer, static_cast<size_t>(count));
    Pos = static_cast<int64_t>(end);
    return count;
}

int64_t TArcMemoryStream::Seek(int64_t offset, int origin) {
    int64_t target = origin == 0 ? offset : origin == 1 ? Pos + offset : static_cast<int64_t>(Data.size()) + offset;
    if (target >= 0) Pos = target;
    return Pos;
}

}  // namespace codecs
