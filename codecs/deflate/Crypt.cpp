#include "codecs/deflate/Crypt.h"

#include <random>

#include "codecs/deflate/Checksum.h"
#include "codecs/deflate/DeflateEngine.h"

namespace codecs {

namespace {
uint32_t DefaultRandom() {
    static std::mt19937 generator{std::random_device{}()};
    return generator();
}
}  // namespace

uint32_t (*ArcRandomSource)() = DefaultRandom;

// The keys start from the published constants and take in every password byte.
void TArcZipKeys::Init(const std::string& password) {
    FKey0 = 0x12345678u;
    FKey1 = 0x23456789u;
    FKey2 = 0x34567890u;
    for (char c : password) Update(static_cast<uint8_t>(c));
}

void TArcZipKeys::Update(uint8_t plain) {
    FKey0 = CrcUpdateByte(plain, FKey0);
    FKey1 = (FKey1 + (FKey0 & 0xFF)) * 134775813u + 1;
    FKey2 = CrcUpdateByte(static_cast<uint8_t>(FKey1 >> 24), FKey2);
}

void TArcZipEncryptEngine::CreateHeader(const std::string& password, uint32_t checkValue,
                                        uint8_t header[kZipCryptHeaderSize]) {
    ArcAssert(!password.empty(), "TArcZipEncryptEngine.CreateHeader: need a passphrase");
    FKeys.Init(password);
    for (int i = 0; i < 10; ++i) header[i] = FKeys.Encrypt(static_cast<uint8_t>(ArcRandomSource() >> 8));
    FKeys.Init(password);
    for (int i = 0; i < 10; ++i) header[i] = FKeys.Encrypt(header[i]);
    header[10] = FKeys.Encrypt(static_cast<uint8_t>(checkValue >> 16));
    header[11] = FKeys.Encrypt(static_cast<uint8_t>(checkValue >> 24));
    FReady = true;
}

void TArcZipEncryptEngine::EncodeBuffer(uint8_t* buffer, size_t length) {
    ArcAssert(FReady, "TArcZipEncryptEngine.EncodeBuffer: must call CreateHeader first");
    for (size_t i = 0; i < length; ++i) buffer[i] = FKeys.Encrypt(buffer[i]);
}

bool TArcZipDecryptEngine::VerifyHeader(uint8_t header[kZipCryptHeaderSize], const std::string& password,
                                        uint32_t checkValue) {
    ArcAssert(!password.empty(), "TArcZipDecryptEngine.VerifyHeader: need a passphrase");
    FKeys.Init(password);
    for (int i = 0; i < kZipCryptHeaderSize; ++i) header[i] = FKeys.Decrypt(header[i]);
    FReady = header[kZipCryptHeaderSize - 1] == static_cast<uint8_t>(checkValue >> 24);
    return FReady;
}

void TArcZipDecryptEngine::Decode(uint8_t* buffer, size_t length) {
    ArcAssert(FReady, "TArcZipDecryptEngine.Decode: must successfully call VerifyHeader first");
    for (size_t i = 0; i < length; ++i) buffer[i] = FKeys.Decrypt(buffer[i]);
}

TArcDfEncryptStream::TArcDfEncryptStream(framework::TStream* dest, const std::string& password,
                                         uint32_t checkValue)
    : FDest(dest) {
    uint8_t header[kZipCryptHeaderSize];
    FEngine.CreateHeader(password, checkValue, header);
    FDest->Write(header, kZipCryptHeaderSize);
}

int32_t TArcDfEncryptStream::Read(void*, int32_t) {
    ArcAssert(false, "TArcDfEncryptStream.Read: the stream is write-only");
    return 0;
}

int32_t TArcDfEncryptStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) return 0;
    if (FBuffer.size() < static_cast<size_t>(count)) FBuffer.resize(static_cast<size_t>(count));
    std::copy_n(static_cast<const uint8_t*>(buffer), count, FBuffer.data());
    FEngine.EncodeBuffer(FBuffer.data(), static_cast<size_t>(count));
    return FDest->Write(FBuffer.data(), count);
}

TArcDfDecryptStream::TArcDfDecryptStream(framework::TStream* source, const std::string& password,
                                         uint32_t checkValue)
    : FSource(source), FPassword(password), FCheckValue(checkValue) {}

bool TArcDfDecryptStream::VerifyHeader() {
    uint8_t header[kZipCryptHeaderSize];
    int32_t n = FSource->Read(header, kZipCryptHeaderSize);
    FVerified = n == kZipCryptHeaderSize && FEngine.VerifyHeader(header, FPassword, FCheckValue);
    if (!FVerified && n > 0) FSource->Seek(-n, framework::soFromCurrent);
    return FVerified;
}

int32_t TArcDfDecryptStream::Read(void* buffer, int32_t count) {
    ArcAssert(FVerified, "TArcDfDecryptStream.Read: the stream header has not been verified");
    int32_t n = FSource->Read(buffer, count);
    if (n > 0) FEngine.Decode(static_cast<uint8_t*>(buffer), static_cast<size_t>(n));
    return n;
}

int32_t TArcDfDecryptStream::Write(const void*, int32_t) {
    ArcAssert(false, "TArcDfDecryptStream.Write: the stream is read-only");
    return 0;
}

}  // namespace codecs
