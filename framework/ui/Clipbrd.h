#pragma once
// The clipboard: Windows-1252 text (CF_TEXT) and raw data of any format, predefined or registered
// by name.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Object.h"

namespace framework {

class TPicture;

constexpr unsigned CF_TEXT = 1;
constexpr unsigned CF_BITMAP = 2;

// The number of the clipboard format with this name, registering it on first use: numbers from
// 0xC000 up, the same name (without regard to letter case) always giving the same number; 0 for an
// empty name. Data of a registered format reaches other programs of this system under its name.
unsigned RegisterClipboardFormat(const std::string& Name);
// The MIME type under which a format's data travels between programs (clipboard, drag-and-drop).
std::string ClipboardFormatMimeType(unsigned Format);

class TClipboard : public TObject {
public:
    TClipboard();
    ~TClipboard() override;

    std::string AsText() const;
    void SetAsText(const std::string& Value);
    bool HasFormat(unsigned Format) const;
    void Clear();

    // Raw data of a format: empty when the clipboard holds none of it.
    std::vector<uint8_t> GetAsData(unsigned Format) const;
    // Outside Open/Close the data replaces what the clipboard held; between Open and Close each
    // format set is added, and the clipboard takes them all together at the last Close.
    void SetAsData(unsigned Format, const std::vector<uint8_t>& Data);
    // Opens are counted.
    void Open();
    void Close();

    // Puts the picture's clipboard form on the clipboard (TPicture::SaveToClipboardFormat), together
    // with any format the graphic sets itself meanwhile; nothing when that raises.
    void Assign(TPicture& Picture);

private:
    struct TPending;
    std::unique_ptr<TPending> FPending;
    int FOpenCount = 0;
};

// The process's clipboard object.
TClipboard* Clipboard();

}  // namespace framework
