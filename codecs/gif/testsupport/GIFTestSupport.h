#pragma once
// Helpers for the GIF tests: fixture files made with the standard image tools, and the pixels of
// frames as this codec, Qt's reader and the image tools see them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/gif/GIFImage.h"
#include "codecs/testsupport/TestFiles.h"

namespace codecs::giftest {

using codecs::testing::ReadFile;
using codecs::testing::TempDir;
using codecs::testing::ToolAvailable;
using codecs::testing::WriteFile;
// Runs a shell command in Folder; its exit status.
int Shell(const std::string& Command, const TempDir& Folder);

// A transparent pixel in a Picture.
constexpr uint32_t Clear = 0xFF000000u;

// Pixels 0x00RRGGBB, rows from the top (Clear for transparent ones).
struct Picture {
    int W = 0, H = 0;
    std::vector<uint32_t> Px;
    uint32_t At(int X, int Y) const { return Px[static_cast<size_t>(Y) * W + X]; }
    bool operator==(const Picture&) const = default;
};
void WritePPM(const std::string& Path, const Picture& P);

// The frame's pixels through its colour map; the transparent index as Clear when Transparent.
Picture FrameColors(TGIFSubImage& Frame, bool Transparent = true);
// Every frame as Qt's reader shows it (whole screen; alpha 0 as Clear).
std::vector<Picture> QtFrames(const std::string& Path);
// The frames as ImageMagick reads them, each at its own size (Sizes gives them).
std::vector<Picture> MagickFrames(const TempDir& Folder, const std::string& File,
                                  const std::vector<std::pair<int, int>>& Sizes);

struct Loaded {
    TGIFImage Image;
    std::vector<std::string> Warnings;
    explicit Loaded(const std::vector<uint8_t>& Bytes);
    explicit Loaded(const std::string& Bytes) : Loaded(std::vector<uint8_t>(Bytes.begin(), Bytes.end())) {}
};
std::vector<uint8_t> SaveBytes(TGIFImage& Image);
// The GIFException message loading raises, or "".
std::string LoadError(const std::vector<uint8_t>& Bytes);

}  // namespace codecs::giftest
