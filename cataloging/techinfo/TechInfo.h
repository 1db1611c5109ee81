#pragma once
// The technical description that a picture or MP3 file's catalog entry receives as its comment:
// the size and colour count of GIF, TGA, PCX and BMP pictures, the size of JPEG pictures, the
// ID3v1 tag of MP3 files. Only the header bytes are read (the last 128 bytes for MP3).

#include <cstddef>
#include <cstdint>
#include <string>

#include "cataloging/archives/ArchiveRun.h"

namespace cataloging {

// Type codes of the files described: 14 GIF, 15 TGA, 16 PCX, 17 BMP, 18 JPG, 19 JPEG, 20 MP3.
inline constexpr int kFirstTechInfoCode = 14;
inline constexpr int kLastTechInfoCode = 20;

// Leaves the description of FolderPath + FileName in the run's MainArchiveComment; a file that
// cannot be read or does not pass its format's test leaves it as it is. FolderName is not used.
void ExtractTechnicalInfo(TArchiveRun& Run, const std::string& FolderName, const std::string& FolderPath,
                          const std::string& FileName, int TypeCode);

// The bytes each picture code reads from the start of the file (0 for JPEG, which reads its
// header up to its frame marker).
size_t TechInfoHeaderSize(int TypeCode);
// The description of a picture's header bytes (codes 14 to 17); empty when the format's test
// fails, the bytes are too few, or the colour count would need more than 32 bits.
std::string PictureInfoText(int TypeCode, const uint8_t* Data, size_t Size);
// "Jpeg Image: " width "x" height of a JPEG file's first bytes; empty when no frame header is found.
std::string JpegInfoText(const uint8_t* Data, size_t Size);
// The six lines of an ID3v1 tag (the last 128 bytes of the file), joined by CR LF; empty without
// "TAG" at its start.
std::string Mp3TagText(const uint8_t* Tag, size_t Size);
// The name of an ID3v1 genre number (0 to 147); the number itself for others.
std::string Id3GenreText(uint8_t Genre);

}  // namespace cataloging
