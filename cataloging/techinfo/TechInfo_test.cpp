// Technical descriptions of pictures (made by ImageMagick, or header bytes where a case needs an
// exact header) and of MP3 files tagged by id3v2.

#include "cataloging/techinfo/TechInfo.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "cataloging/testsupport/ArchiveBuilders.h"
#include "platform/LittleEndian.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

namespace cataloging {
namespace {

using platform::testsupport::RunShell;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;
using testsupport::TBytes;
using testsupport::TRecordingRun;

class TechInfoTest : public ::testing::Test {
protected:
    TTempFolder Disk;
    TScopedDrives Drives{"D=" + Disk.Path()};
    TRecordingRun Run;

    void Shell(const std::string& Command) {
        ASSERT_EQ(RunShell("cd '" + Disk.Path() + "' && " + Command + " >/dev/null 2>&1"), 0) << Command;
    }
    void Write(const std::string& Name, const TBytes& Bytes) {
        std::ofstream(Disk / Name, std::ios::binary)
            .write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    }
    std::string Describe(const std::string& Name, int Code) {
        Run.Reset();
        ExtractTechnicalInfo(Run, "\\PICS\\", "D:\\", Name, Code);
        return Run.MainArchiveComment;
    }
};

TBytes Gif(const char* Signature, uint16_t W, uint16_t H, uint8_t Packed) {
    TBytes b(13, 0);
    std::copy_n(Signature, 6, b.begin());
    platform::PutUInt16(b.data() + 6, W);
    platform::PutUInt16(b.data() + 8, H);
    b[10] = Packed;
    return b;
}

TBytes Header(size_t Size, std::initializer_list<std::pair<size_t, uint8_t>> Bytes) {
    TBytes b(Size, 0);
    for (const auto& [at, v] : Bytes) b[at] = v;
    return b;
}

TEST_F(TechInfoTest, PicturesMadeByImageMagick) {
    Shell("convert -size 1024x768 xc:red -type truecolor BMP3:P.BMP");
    Shell("convert -size 800x600 xc:red P.TGA");
    Shell("convert -size 640x480 xc:red -colors 256 -type palette P.PCX");
    Shell("convert -size 320x200 xc:blue P.JPG");
    Shell("cp P.JPG P.JPEG");
    EXPECT_EQ(Describe("P.BMP", 17), "Bitmap Image: 1024x768x16777216");
    EXPECT_EQ(Describe("P.TGA", 15), "Targa Image: 800x600x16777216");
    EXPECT_EQ(Describe("P.PCX", 16), "PCX Image: 640x480x256");
    EXPECT_EQ(Describe("P.JPG", 18), "Jpeg Image: 320x200");
    EXPECT_EQ(Describe("P.JPEG", 19), "Jpeg Image: 320x200");
    EXPECT_NE(std::find(Run.Status.begin(), Run.Status.end(), "op:Extracting Technical Information From"),
              Run.Status.end());
    // A file that is not what its name says, a missing one: no description.
    EXPECT_EQ(Describe("P.BMP", 18), "");
    EXPECT_EQ(Describe("MISSING.GIF", 14), "");
}

TEST_F(TechInfoTest, HeaderCases) {
    const struct {
        const char* Name;
        int Code;
        TBytes Bytes;
        const char* Text;
    } cases[] = {
        {"A.GIF", 14, Gif("GIF89a", 640, 480, 0xF7), "GIF Image: 640x480x256"},
        {"B.GIF", 14, Gif("GIF87a", 16, 16, 0x80), "GIF Image: 16x16x2"},
        {"C.GIF", 14, Gif("GIF88a", 640, 480, 0xF7), ""},
        {"A.TGA", 15, Header(18, {{2, 33}, {12, 0x20}, {14, 0x20}, {16, 24}}), ""},
        {"B.TGA", 15, Header(18, {{2, 10}, {12, 0x20}, {14, 0x10}, {16, 32}}), "Targa Image: 32x16x4294967296"},
        {"C.TGA", 15, Header(18, {{2, 2}, {12, 1}, {14, 1}, {16, 8}}), ""},
        // Eight bits in 255 planes: no colour count of 2 to the 2040th.
        {"A.PCX", 16, Header(128, {{0, 10}, {3, 8}, {8, 9}, {10, 9}, {65, 255}}), ""},
        {"B.PCX", 16, Header(128, {{0, 10}, {3, 1}, {4, 10}, {8, 19}, {10, 4}, {65, 4}}), "PCX Image: 10x5x16"},
        // A top-down bitmap (negative height) and one with a bit count of 65535.
        {"A.BMP", 17, Header(54, {{0, 'B'}, {1, 'M'}, {18, 4}, {22, 0xFE}, {23, 0xFF}, {24, 0xFF}, {25, 0xFF}, {28, 8}}),
         "Bitmap Image: 4x2x256"},
        {"B.BMP", 17, Header(54, {{0, 'B'}, {1, 'M'}, {18, 4}, {22, 2}, {28, 0xFF}, {29, 0xFF}}), ""},
        {"C.BMP", 17, Header(20, {{0, 'B'}, {1, 'M'}}), ""},  // shorter than its header
    };
    for (const auto& c : cases) {
        Write(c.Name, c.Bytes);
        EXPECT_EQ(Describe(c.Name, c.Code), c.Text) << c.Name;
    }
    // Only the header of a JPEG is read: a picture too large to decode still has its size.
    Shell("convert -size 16x16 xc:green SMALL.JPG");
    std::string jpeg = platform::testsupport::ReadNativeFile(Disk / "SMALL.JPG");
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpeg[sof + 5] = 0x23, jpeg[sof + 6] = 0x28;  // height 9000
    jpeg[sof + 7] = 0x2E, jpeg[sof + 8] = static_cast<char>(0xE0);  // width 12000
    std::ofstream(Disk / "BIG.JPG", std::ios::binary) << jpeg;
    EXPECT_EQ(Describe("BIG.JPG", 18), "Jpeg Image: 12000x9000");
}

TEST_F(TechInfoTest, Mp3Tags) {
    Shell("head -c 3000 /dev/zero > S.MP3 && id3v2 -1 -t 'A Title' -a 'Someone' -A 'The Album' -y 2003 -c 'Nice  ' -g 17 S.MP3");
    EXPECT_EQ(Describe("S.MP3", 20),
              "Title: A Title\r\nArtist: Someone\r\nAlbum: The Album\r\nYear: 2003\r\nGenre: Rock\r\nComment: Nice  ");
    std::string bytes = platform::testsupport::ReadNativeFile(Disk / "S.MP3");
    bytes.back() = static_cast<char>(255);
    std::ofstream(Disk / "G.MP3", std::ios::binary) << bytes;
    EXPECT_NE(Describe("G.MP3", 20).find("\r\nGenre: 255\r\n"), std::string::npos);
    EXPECT_EQ(Id3GenreText(0), "Blues");
    EXPECT_EQ(Id3GenreText(40), "AlternRock");
    EXPECT_EQ(Id3GenreText(67), "Psychadelic");
    EXPECT_EQ(Id3GenreText(85), "Bebob");
    EXPECT_EQ(Id3GenreText(144), "Trash Metal");
    EXPECT_EQ(Id3GenreText(146), "Jpop");
    EXPECT_EQ(Id3GenreText(147), "Synthpop");
    EXPECT_EQ(Id3GenreText(148), "148");

    // Fewer than 128 bytes, or no "TAG" (in that case) at the start of the last 128: nothing.
    std::ofstream(Disk / "SHORT.MP3", std::ios::binary) << bytes.substr(bytes.size() - 100);
    EXPECT_EQ(Describe("SHORT.MP3", 20), "");
    bytes[bytes.size() - 128] = 't';
    std::ofstream(Disk / "LOWER.MP3", std::ios::binary) << bytes;
    EXPECT_EQ(Describe("LOWER.MP3", 20), "");
}

}  // namespace
}  // namespace cataloging
