#pragma once
// Version information of program files: the version resource of a PE image (a Windows program or
// library), found through the image's resource directory and queried by path the way the
// system's version functions do it, and TShCustomVersionInfo, which reads the fixed part and the
// version texts of a file.
//
// Everything read from a file is outside data: every offset and length is checked against the
// bytes actually there, and a damaged image is reported, never trusted.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/core/Object.h"

namespace sysutil {

// ---- The resource in a PE image -------------------------------------------------------------

enum class TVersionResourceResult : uint8_t {
    vrFound,       // the resource bytes were read
    vrNoResource,  // a sound image without a version resource
    vrDamaged,     // not a PE image, or a damaged one
};

// Reads Count bytes at Offset of the image into Buffer; false when they are not all there.
using TImageReadFunc = std::function<bool(uint64_t Offset, void* Buffer, uint32_t Count)>;

// The version resource (type 16, its first name and first language) of the image that Read reads,
// whose size is ImageSize bytes.
TVersionResourceResult FindVersionResource(const TImageReadFunc& Read, uint64_t ImageSize,
                                           std::vector<uint8_t>& Resource);
// The same over an image held in memory.
TVersionResourceResult FindVersionResource(std::span<const uint8_t> Image, std::vector<uint8_t>& Resource);

// ---- Queries on a version resource ----------------------------------------------------------

// A value of the resource: the raw bytes of a binary value, or a text value (Windows-1252).
struct TVersionValue {
    std::vector<uint8_t> Bytes;
    std::string Text;
    bool IsText = false;
};

// The value at a path of blocks ("\" the fixed part, "\VarFileInfo\Translation",
// "\StringFileInfo\040904b0\FileVersion"; the leading "\" is optional, keys are matched without
// regard to case). Empty when the path names no block or the resource is damaged on the way.
std::optional<TVersionValue> VerQueryValue(std::span<const uint8_t> Resource, std::string_view SubBlock);

// ---- The reader of a file's version information ---------------------------------------------

// The leading major.minor part of a dotted version text ("6.00.2900.2180" gives 6.0); 0 when the
// second dot stands beyond the sixth character or is missing. The number is converted with the
// locale's decimal separator (EConvertError passes to the caller).
double ParseVersionFloat(const std::string& Text);

class TShCustomVersionInfo : public framework::TObject {
public:
    TShCustomVersionInfo();

    const std::string& FileName() const { return FFileName; }
    // A name that is not empty must name an existing file (EShVersionInfoError 73); another name
    // than the current one is read anew; an empty name stands for the program's own file.
    void SetFileName(const std::string& Value);
    bool Loaded() const { return FLoaded; }

    // The values of the resource; each reader reads the resource when it is not loaded yet
    // (EShVersionInfoError 100 for a file without one, 101 for one that cannot be read).
    uint32_t FileVersionMS();
    uint32_t FileVersionLS();
    uint32_t ProductVersionMS();
    uint32_t ProductVersionLS();
    uint32_t FileOS();
    const std::string& FileVersion();
    const std::string& ProductVersion();
    double FileVersionFloat();
    double ProductVersionFloat();

    // The text of a string of the first translation; EShVersionInfoError 134 when it is missing.
    // Reads the file each time and leaves the loaded values alone.
    std::string GetVersionString(const std::string& Key);

private:
    void EnsureLoaded();
    // Reads the resource of the file; with a key returns that string, without one fills the fields.
    std::string LoadVersionInfo(const std::string* Key);

    std::string FFileName;
    bool FLoaded = false;
    uint32_t FFileVersionMS = 0;
    uint32_t FFileVersionLS = 0;
    uint32_t FProductVersionMS = 0;
    uint32_t FProductVersionLS = 0;
    uint32_t FFileOS = 0;
    std::string FFileVersion;
    std::string FProductVersion;
    double FFileVersionFloat = 0;
    double FProductVersionFloat = 0;
};

class TShVersionInfo : public TShCustomVersionInfo {
public:
    using TShCustomVersionInfo::TShCustomVersionInfo;
};

}  // namespace sysutil
