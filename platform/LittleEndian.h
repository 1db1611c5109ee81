#pragma once
// Little-endian numbers in stored and transmitted layouts, byte by byte: the one coding of the
// system's file formats, whatever the machine's own byte order.

#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {

inline uint16_t GetUInt16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t GetInt16(const uint8_t* p) {
    return static_cast<int16_t>(GetUInt16(p));
}
inline uint32_t GetUInt32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline int32_t GetInt32(const uint8_t* p) {
    return static_cast<int32_t>(GetUInt32(p));
}
inline uint64_t GetUInt64(const uint8_t* p) {
    return static_cast<uint64_t>(GetUInt32(p)) | static_cast<uint64_t>(GetUInt32(p + 4)) << 32;
}
inline int64_t GetInt64(const uint8_t* p) {
    return static_cast<int64_t>(GetUInt64(p));
}
inline double GetDouble(const uint8_t* p) {
    uint64_t bits = GetUInt64(p);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

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
inline void PutInt64(uint8_t* p, int64_t v) {
    PutUInt64(p, static_cast<uint64_t>(v));
}
inline void PutDouble(uint8_t* p, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    PutUInt64(p, bits);
}

// Appends to a growing buffer.
inline void AppendUInt16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void AppendUInt32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace platform
