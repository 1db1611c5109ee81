#include "dbengine/testsupport/BlobFixture.h"

#include <fstream>

#include "dbengine/session/Engine.h"
#include "dbengine/util/Coding.h"

namespace dbengine::testsupport {

TBlobImage::TBlobImage(uint16_t blockSize, int32_t firstFree, int32_t nextBlockNo, uint8_t version)
    : BlockSize(blockSize), Image(BlobHeaderSize, '\0') {
    SetHeader(firstFree, nextBlockNo, version);
}

TBlobImage& TBlobImage::SetHeader(int32_t firstFree, int32_t nextBlockNo, uint8_t version) {
    auto* p = reinterpret_cast<uint8_t*>(Image.data());
    p[8] = version;
    PutInt32(p + 9, firstFree);
    PutInt32(p + 13, nextBlockNo);
    return *this;
}

TBlobImage& TBlobImage::Block(const TBlockSpec& s) {
    std::string block(BlockSize, static_cast<char>(s.Fill));
    auto* p = reinterpret_cast<uint8_t*>(block.data());
    PutInt32(p + 0, s.Prev);
    PutInt32(p + 4, s.Next);
    PutUInt16(p + 8, s.Used);
    PutInt32(p + 10, s.Stamp);
    PutInt32(p + 14, s.BlobSize);
    Image += block;
    auto* h = reinterpret_cast<uint8_t*>(Image.data());
    int32_t count = static_cast<int32_t>((Image.size() - BlobHeaderSize) / BlockSize);
    PutInt32(h + 13, count + 1);
    return *this;
}

void BlobFixture::SetUp() {
    drives = std::make_unique<platform::testsupport::TScopedDrives>("D=" + root.Path());
    InitializeEngine();
    table = std::make_unique<TDataTable>(nullptr, GetEngineSession());
    table->TableName = "T";
}

void BlobFixture::TearDown() {
    table.reset();
    FinalizeEngine();
    drives.reset();
}

std::unique_ptr<TBlobFile> BlobFixture::NewFile(uint16_t blockSize, const std::string& name) {
    auto f = std::make_unique<TBlobFile>(table.get());
    f->FileName = "D:\\" + name;
    f->BlockSize = blockSize;
    return f;
}

std::unique_ptr<TBlobFile> BlobFixture::Create(uint16_t blockSize, const std::string& name) {
    auto f = NewFile(blockSize, name);
    f->CreateFile();
    f->WriteHeader(false);
    // Created files are held exclusively; tables work on them shared.
    f->CloseFile();
    f->OpenFile();
    return f;
}

std::unique_ptr<TBlobFile> BlobFixture::Open(uint16_t blockSize, const std::string& name) {
    auto f = NewFile(blockSize, name);
    f->OpenFile();
    return f;
}

void BlobFixture::WriteImage(const std::string& bytes, const std::string& name) {
    std::ofstream out(root / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string BlobFixture::FileBytes(const std::string& name) const {
    return platform::testsupport::ReadNativeFile(root / name);
}

std::vector<uint8_t> BlobFixture::Pattern(int32_t size, uint8_t seed) {
    std::vector<uint8_t> v(static_cast<size_t>(size));
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(i * 7 + seed + i / 251);
    return v;
}

std::vector<uint8_t> BlobFixture::Contents(TBlobBuffer& buffer) {
    return std::vector<uint8_t>(buffer.GetData(), buffer.GetData() + buffer.Size);
}

std::unique_ptr<TBlobBuffer> BlobFixture::SaveValue(TBlobFile& file, int32_t size, int32_t stamp,
                                                    uint8_t seed, int32_t firstBlock) {
    auto b = std::make_unique<TBlobBuffer>(nullptr, &file);
    b->FirstBlock = firstBlock;
    b->Stamp = stamp;
    b->SetSize(size);
    auto bytes = Pattern(size, seed);
    std::copy(bytes.begin(), bytes.end(), b->GetData());
    b->Save();
    return b;
}

std::unique_ptr<TBlobBuffer> BlobFixture::LoadValue(TBlobFile& file, int32_t firstBlock, int32_t stamp) {
    auto b = std::make_unique<TBlobBuffer>(nullptr, &file);
    b->FirstBlock = firstBlock;
    b->Stamp = stamp;
    b->Load();
    return b;
}

}  // namespace dbengine::testsupport
