#pragma once
// The clipboard, text only (CF_TEXT): Windows-1252 text in and out.

#include <string>

#include "framework/core/Object.h"

namespace framework {

constexpr unsigned CF_TEXT = 1;

class TClipboard : public TObject {
public:
    std::string AsText() const;
    void SetAsText(const std::string& Value);
    bool HasFormat(unsigned Format) const;
    void Clear();
};

// The process's clipboard object.
TClipboard* Clipboard();

}  // namespace framework
