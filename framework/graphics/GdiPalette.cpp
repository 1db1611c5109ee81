// Palettes.
#include "framework/graphics/Gdi.h"

#include "framework/graphics/GdiState.h"

namespace framework {

using namespace gdi;

// ---------------------------------------------------------------------------------------------
// Palettes

HPALETTE CreatePalette(uint16_t Version, const std::vector<TPaletteEntry>& Entries) {
    if (Version != 0x300 || Entries.empty() || Entries.size() > 1024) return 0;
    return AddObject(PaletteObj{Entries});
}

HPALETTE SelectPalette(HDC Dc, HPALETTE Palette, bool) {
    DcData* d = Data(Dc);
    if (!d || !FindAs<PaletteObj>(Palette)) return 0;
    HPALETTE old = d->St.SelPalette ? d->St.SelPalette : GetStockObject(DEFAULT_PALETTE);
    d->St.SelPalette = Palette;
    return old;
}

unsigned RealizePalette(HDC Dc) {
    return Data(Dc) ? 0 : static_cast<unsigned>(-1);
}

unsigned GetPaletteEntries(HPALETTE Palette, unsigned Start, unsigned Count, TPaletteEntry* Entries) {
    auto* p = FindAs<PaletteObj>(Palette);
    if (!p) return 0;
    if (!Entries) return static_cast<unsigned>(p->Entries.size());
    unsigned n = 0;
    for (unsigned i = Start; i < p->Entries.size() && n < Count; ++i) Entries[n++] = p->Entries[i];
    return n;
}

unsigned GetNearestPaletteIndex(HPALETTE Palette, TColor Color) {
    auto* p = FindAs<PaletteObj>(Palette);
    if (!p) return static_cast<unsigned>(CLR_INVALID);
    uint32_t rgb = ColorToRGB(Color);
    unsigned best = 0;
    int bestD = INT32_MAX;
    for (unsigned i = 0; i < p->Entries.size(); ++i) {
        const TPaletteEntry& e = p->Entries[i];
        int dr = e.peRed - GetRValue(rgb), dg = e.peGreen - GetGValue(rgb), db = e.peBlue - GetBValue(rgb);
        int dd = dr * dr + dg * dg + db * db;
        if (dd < bestD) bestD = dd, best = i;
    }
    return best;
}

}  // namespace framework
