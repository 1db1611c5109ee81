#pragma once
// How the format settings are read from the user's locale (used by GetFormatSettings).

#include <string>
#include <string_view>

namespace framework {

// Turns a C-library date or time layout ("%d.%m.%Y", "%I:%M:%S %p") into a date-time picture
// ("dd/MM/yyyy", "hh:nn:ss AMPM"). With a separator to fill, the first separator met becomes it and
// is written as "/" (the picture's stand-in for DateSeparator); pass nullptr for time layouts.
std::string PictureFromLayout(std::string_view layout, char* separator);

}  // namespace framework
