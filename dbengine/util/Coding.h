#pragma once
// Little-endian numbers and short strings in stored layouts, byte by byte.

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/LittleEndian.h"

namespace dbengine {

// The numbers are the platform's one little-endian coding.
using platform::GetDouble;
using platform::GetInt16;
using platform::GetInt32;
using platform::GetUInt16;
using platform::GetUInt32;
using platform::GetUInt64;
using platform::PutDouble;
using platform::PutInt16;
using platform::PutInt32;
using platform::PutUInt16;
using platform::PutUInt32;
using platform::PutUInt64;

// A short string of the given capacity: a length byte, then the characters; capacity + 1 bytes.
inline void PutShortString(uint8_t* p, const std::string& s, size_t capacity) {
    size_t n = s.size() < capacity ? s.size() : capacity;
    p[0] = static_cast<uint8_t>(n);
    std::memcpy(p + 1, s.data(), n);
}
// A short string cut to its capacity (for strings whose stored bytes end at their capacity).
inline std::string GetShortString(const uint8_t* p, size_t capacity) {
    size_t n = p[0] < capacity ? p[0] : capacity;
    return std::string(reinterpret_cast<const char*>(p + 1), n);
}

// Reads as many characters as the length byte says, even beyond the capacity, so that checks can
// see a damaged length; the caller guarantees 256 readable bytes or a length within bounds.
inline std::string GetShortString(const uint8_t* p) {
    return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}

}  // namespace dbengine
