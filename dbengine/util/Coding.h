#pragma once
// Little-endian numbers and short strings in stored layouts, byte by byte.

#include <cstdint>
#include <cstring>
#include <string>

namespace dbengine {

inline void PutUInt16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutInt16(uint8_t* p, int16_t v) {
    PutUInt16(p, static_cast<uint16_t>(v));
}
inline void PutUInt32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutInt32(uint8_t* p, int32_t v) {
    PutUInt32(p, static_cast<uint32_t>(v));
}
inline void PutUInt64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutDouble(uint8_t* p, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    PutUInt64(p, bits);
}

inline uint16_t GetUInt16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t GetInt16(const uint8_t* p) {
    return static_cast<int16_t>(GetUInt16(p));
}
inline uint32_t GetUInt32(const uint8_t* p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
inline int32_t GetInt32(const uint8_t* p) {
    return static_cast<int32_t>(GetUInt32(p));
}
inline uint64_t GetUInt64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
inline double GetDouble(const uint8_t* p) {
    uint64_t bits = GetUInt64(p);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

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
