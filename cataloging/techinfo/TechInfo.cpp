#include "cataloging/techinfo/TechInfo.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "cataloging/archives/ArchiveFile.h"
#include "framework/graphics/Jpeg.h"
#include "platform/LittleEndian.h"

namespace cataloging {

using platform::GetInt32;
using platform::GetUInt16;

namespace {

// The extended ID3v1 genre list, in the spellings catalogs have always shown.
constexpr const char* kGenres[148] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip",
    "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
    "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber Music",
    "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba",
    "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo",
    "A capella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Afro-Punk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal", "Black Metal",
    "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Trash Metal", "Anime", "Jpop",
    "Synthpop",
};

// Width "x" height "x" 2 to the power of Exponent; empty when the count needs more than 32 bits.
std::string Described(const char* Kind, int64_t Width, int64_t Height, int Exponent) {
    if (Exponent < 0 || Exponent > 32) return {};
    return std::string(Kind) + std::to_string(Width) + "x" + std::to_string(Height) + "x" +
           std::to_string(uint64_t(1) << Exponent);
}

// A text field of the tag: up to its first NUL, trailing blanks kept.
std::string TagField(const uint8_t* P, size_t N) {
    const auto* end = std::find(P, P + N, uint8_t(0));
    return std::string(reinterpret_cast<const char*>(P), static_cast<size_t>(end - P));
}

// The JPEG header may follow large application segments; this much is read to find it.
constexpr int32_t kJpegHeadBytes = 8 << 20;

}  // namespace

size_t TechInfoHeaderSize(int TypeCode) {
    switch (TypeCode) {
        case 14:
            return 11;
        case 15:
            return 17;
        case 16:
            return 74;
        case 17:
            return 30;
        default:
            return 0;
    }
}

std::string PictureInfoText(int TypeCode, const uint8_t* D, size_t Size) {
    if (Size < TechInfoHeaderSize(TypeCode) || TechInfoHeaderSize(TypeCode) == 0) return {};
    switch (TypeCode) {
        case 14:  // GIF87a or GIF89a
            if (std::string(reinterpret_cast<const char*>(D), 4) != "GIF8" || (D[4] != '7' && D[4] != '9') || D[5] != 'a')
                return {};
            return Described("GIF Image: ", GetUInt16(D + 6), GetUInt16(D + 8), (D[10] & 7) + 1);
        case 15: {
            static constexpr uint8_t types[] = {1, 2, 3, 9, 10, 11, 32};
            if (std::find(std::begin(types), std::end(types), D[2]) == std::end(types)) return {};
            if (D[16] != 16 && D[16] != 24 && D[16] != 32) return {};
            return Described("Targa Image: ", GetUInt16(D + 12), GetUInt16(D + 14), D[16]);
        }
        case 16:
            if (D[0] != 10) return {};
            return Described("PCX Image: ", int64_t(GetUInt16(D + 8)) - GetUInt16(D + 4) + 1,
                             int64_t(GetUInt16(D + 10)) - GetUInt16(D + 6) + 1, D[3] * D[65]);
        case 17:
            if (D[0] != 'B' || D[1] != 'M') return {};
            // A picture stored top-down has a negative height; its height is its size.
            return Described("Bitmap Image: ", GetInt32(D + 18), std::abs(int64_t(GetInt32(D + 22))),
                             GetUInt16(D + 28));
        default:
            return {};
    }
}

std::string JpegInfoText(const uint8_t* Data, size_t Size) {
    int width = 0, height = 0;
    if (!framework::JpegDimensions(Data, Size, width, height)) return {};
    return "Jpeg Image: " + std::to_string(width) + "x" + std::to_string(height);
}

std::string Id3GenreText(uint8_t Genre) {
    return Genre < 148 ? kGenres[Genre] : std::to_string(Genre);
}

std::string Mp3TagText(const uint8_t* T, size_t Size) {
    if (Size < 128 || T[0] != 'T' || T[1] != 'A' || T[2] != 'G') return {};
    return "Title: " + TagField(T + 3, 30) + "\r\nArtist: " + TagField(T + 33, 30) + "\r\nAlbum: " +
           TagField(T + 63, 30) + "\r\nYear: " + TagField(T + 93, 4) + "\r\nGenre: " + Id3GenreText(T[127]) +
           "\r\nComment: " + TagField(T + 97, 30);
}

void ExtractTechnicalInfo(TArchiveRun& Run, const std::string& /*FolderName*/, const std::string& FolderPath,
                          const std::string& FileName, int TypeCode) {
    if (TypeCode < kFirstTechInfoCode || TypeCode > kLastTechInfoCode) return;
    Run.ShowArchiveOperation("Extracting Technical Information From");
    Run.ShowArchiveName(FileName);
    Run.ProcessMessages();
    TArchiveFile file;
    if (!file.Open(FolderPath + FileName)) return;
    std::string text;
    if (TypeCode == 20) {
        uint8_t tag[128];
        if (file.Size() < 128 || !file.Seek(file.Size() - 128) || !file.ReadExact(tag, 128)) return;
        text = Mp3TagText(tag, sizeof tag);
    } else if (TypeCode == 18 || TypeCode == 19) {
        std::vector<uint8_t> head(static_cast<size_t>(std::min<int64_t>(file.Size(), kJpegHeadBytes)));
        const int32_t got = file.Read(head.data(), static_cast<int32_t>(head.size()));
        text = JpegInfoText(head.data(), static_cast<size_t>(got));
    } else {
        uint8_t header[74];
        const int32_t want = static_cast<int32_t>(TechInfoHeaderSize(TypeCode));
        if (!file.ReadExact(header, want)) return;
        text = PictureInfoText(TypeCode, header, static_cast<size_t>(want));
    }
    if (!text.empty()) Run.MainArchiveComment = text;
}

}  // namespace cataloging
