#pragma once
// What the program says about itself: its version text, copyright line, slogan, the contact lines
// of the About window and its picture, and the block of picture and labels that the splash and
// About windows share.

#include <cstdint>
#include <span>
#include <string>

namespace framework {
class TComponent;
class TImage;
class TLabel;
class TPanel;
class TPicture;
class TWinControl;
}  // namespace framework

namespace app {

// Characters 1 to 4 are the edition year, characters 6 to 10 the version.
inline constexpr const char* VersionText = "2003(1.03A)";
inline constexpr const char* BuildDateText = "15 September 2003";
inline constexpr const char* CreatedOnText = "(Created 15 September 2003)";
inline constexpr const char* CopyrightLine = "Copyright (c) 1996-2003 Korvane Software Workshop";
inline constexpr const char* Slogan = "Every disk you own, catalogued and found in seconds";
inline constexpr const char* WebAddress = "http://www.korvane.example/";
inline constexpr const char* MailAddress = "mailto:support@korvane.example";

// The edition year ("2003") and the version ("1.03A") cut from VersionText.
std::string EditionText();
std::string VersionNumberText();

// The program's picture (a 410 x 60 GIF) as it is compiled in.
std::span<const uint8_t> ProgramPictureData();
// Loads the program's picture into Picture as form data does: through the picture class registry,
// by the class name "TGIFImage".
void LoadProgramPicture(framework::TPicture& Picture);

// The black panel with the picture at the top and the centred version, date, copyright and slogan
// labels below it.
struct TIdentityBlock {
    framework::TPanel* Panel = nullptr;
    framework::TImage* Image1 = nullptr;
    framework::TLabel* VersionLabel = nullptr;
    framework::TLabel* CreatedOnLabel = nullptr;
    framework::TLabel* CopyrightLabel = nullptr;
    framework::TLabel* SloganLabel = nullptr;
};
// Builds the block (owned by Owner) on Parent, at Left, Top, 430 x 170 pixels.
TIdentityBlock BuildIdentityBlock(framework::TComponent& Owner, framework::TWinControl& Parent, int Left,
                                  int Top);
// What the OnShow handlers do: the version, the date and the copyright line into the labels.
void FillIdentityLabels(const TIdentityBlock& Block);

}  // namespace app
