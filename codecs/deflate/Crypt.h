#pragma once
// Traditional ZIP encryption: the three-key stream cipher keyed by a password, its 12-byte header
// whose last byte checks the password, and streams that encrypt or decrypt on the way through.

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/Stream.h"

namespace codecs {

// The cipher's keys and their update, shared by both directions.
class TArcZipKeys {
public:
    void Init(const std::string& password);
    void Update(uint8_t plain);
    uint8_t StreamByte() const {
        uint32_t t = (FKey2 | 2) & 0xFFFF;
        return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    }
    uint8_t Decrypt(uint8_t c) {
        uint8_t p = c ^ StreamByte();
        Update(p);
        return p;
    }
    uint8_t Encrypt(uint8_t p) {
        uint8_t c = p ^ StreamByte();
        Update(p);
        return c;
    }

private:
    uint32_t FKey0 = 0, FKey1 = 0, FKey2 = 0;
};

constexpr int kZipCryptHeaderSize = 12;

class TArcZipEncryptEngine {
public:
    // Fills `header` with 10 random bytes and the two top bytes of the check value, encrypted.
    void CreateHeader(const std::string& password, uint32_t checkValue, uint8_t header[kZipCryptHeaderSize]);
    void EncodeBuffer(uint8_t* buffer, size_t length);

private:
    TArcZipKeys FKeys;
    bool FReady = false;
};

class TArcZipDecryptEngine {
public:
    // Decrypts the header in place; true when its last byte equals the top byte of checkValue.
    bool VerifyHeader(uint8_t header[kZipCryptHeaderSize], const std::string& password, uint32_t checkValue);
    void Decode(uint8_t* buffer, size_t length);

private:
    TArcZipKeys FKeys;
    bool FReady = false;
};

// Write-only: writes the header when created, then encrypts everything written through it.
class TArcDfEncryptStream : public framework::TStream {
public:
    TArcDfEncryptStream(framework::TStream* dest, const std::string& password, uint32_t checkValue);
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, framework::TSeekOrigin origin) override {
        return FDest->Seek(offset, origin);
    }

private:
    framework::TStream* FDest;
    TArcZipEncryptEngine FEngine;
    std::vector<uint8_t> FBuffer;
};

// Read-only: reads are allowed once VerifyHeader has accepted the password.
class TArcDfDecryptStream : public framework::TStream {
public:
    TArcDfDecryptStream(framework::TStream* source, const std::string& password, uint32_t checkValue);
    // Reads and checks the header; on failure the source steps back over it.
    bool VerifyHeader();
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, framework::TSeekOrigin origin) override {
        return FSource->Seek(offset, origin);
    }

private:
    framework::TStream* FSource;
    std::string FPassword;
    uint32_t FCheckValue;
    TArcZipDecryptEngine FEngine;
    bool FVerified = false;
};

// Seam for the random bytes of new encryption headers; tests may replace it.
extern uint32_t (*ArcRandomSource)();

}  // namespace codecs
