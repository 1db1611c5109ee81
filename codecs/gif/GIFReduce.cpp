// Colour reduction: fixed palettes, the octree quantizer, colour lookups, the dither kinds and
// ReduceBitmap, which turns a true-colour bitmap into an 8-bit one.
#include <algorithm>
#include <cstdlib>

#include "codecs/gif/GIFImage.h"

namespace codecs {

using namespace framework;

namespace {

HPALETTE PaletteOf(const std::vector<TPaletteEntry>& Entries) {
    return CheckGDI(CreatePalette(0x300, Entries));
}

TPaletteEntry Entry(int R, int G, int B, uint8_t Flags = PC_NOCOLLAPSE) {
    return TPaletteEntry{static_cast<uint8_t>(R), static_cast<uint8_t>(G), static_cast<uint8_t>(B), Flags};
}

std::vector<TPaletteEntry> EntriesOf(HPALETTE Palette) {
    if (!Palette) return {};
    unsigned n = std::min(256u, GetPaletteEntries(Palette, 0, 0, nullptr));
    std::vector<TPaletteEntry> e(n);
    if (n) e.resize(GetPaletteEntries(Palette, 0, n, e.data()));
    return e;
}

// The 20 static colours of a palette screen.
std::vector<TPaletteEntry> SystemColors() {
    return EntriesOf(GetStockObject(DEFAULT_PALETTE));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Fixed palettes

HPALETTE WebPalette() {
    std::vector<TPaletteEntry> e;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) e.push_back(Entry(r * 51, g * 51, b * 51, 0));
    return PaletteOf(e);
}

HPALETTE Gray256Palette() {
    std::vector<TPaletteEntry> e;
    for (int i = 0; i < 256; ++i) e.push_back(Entry(i, i, i));
    return PaletteOf(e);
}

HPALETTE BlackWhitePalette() {
    return PaletteOf({Entry(0, 0, 0), Entry(255, 255, 255)});
}

HPALETTE SystemGray4Palette() {
    return PaletteOf({Entry(0, 0, 0), Entry(128, 128, 128), Entry(192, 192, 192), Entry(255, 255, 255)});
}

HPALETTE HalftoneSystemPalette() {
    const std::vector<TPaletteEntry> sys = SystemColors();
    std::vector<TPaletteEntry> e(sys.begin(), sys.begin() + 10);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) e.push_back(Entry(r * 51, g * 51, b * 51));
    // Greys between the cube's levels.
    for (int i = 1; e.size() < 246; ++i) e.push_back(Entry(i * 255 / 21, i * 255 / 21, i * 255 / 21));
    e.insert(e.end(), sys.end() - 10, sys.end());
    return PaletteOf(e);
}

// ---------------------------------------------------------------------------------------------
// Octree quantizer

namespace {

struct TOctreeNode {
    bool Leaf = false;
    uint32_t PixelCount = 0;
    uint32_t Red = 0, Green = 0, Blue = 0;
    std::unique_ptr<TOctreeNode> Child[8];
    TOctreeNode* Next = nullptr;  // in its level's list of reducible nodes
};

class TColorQuantizer {
public:
    TColorQuantizer(int ALimit, int ADepth) : Limit(std::max(1, ALimit)), Depth(std::clamp(ADepth, 1, 8)) {}

    void Feed(TBitmap& Bitmap) {
        TDIBReader reader(Bitmap, pf24bit);
        for (int y = 0; y < Bitmap.Height(); ++y) {
            const uint8_t* row = reader.RowPointer(y);
            for (int x = 0; x < Bitmap.Width(); ++x) {
                AddPixel(Root, row[x * 3 + 2], row[x * 3 + 1], row[x * 3], 0);
                while (Leaves > Limit) MergeDeepest();
            }
        }
    }

    void CollectColors(std::vector<TPaletteEntry>& Out) const { Collect(Root.get(), Out); }

private:
    void AddPixel(std::unique_ptr<TOctreeNode>& Slot, int R, int G, int B, int Level) {
        if (!Slot) {
            Slot = std::make_unique<TOctreeNode>();
            if (Level == Depth) {
                Slot->Leaf = true;
                ++Leaves;
            } else {
                Slot->Next = Reducible[Level];
                Reducible[Level] = Slot.get();
            }
        }
        TOctreeNode* n = Slot.get();
        if (n->Leaf) {
            ++n->PixelCount;
            n->Red += R;
            n->Green += G;
            n->Blue += B;
            return;
        }
        const int shift = 7 - Level;
        const int i = (((R >> shift) & 1) << 2) | (((G >> shift) & 1) << 1) | ((B >> shift) & 1);
        AddPixel(n->Child[i], R, G, B, Level + 1);
    }

    void MergeDeepest() {
        int level = Depth - 1;
        while (level > 0 && !Reducible[level]) --level;
        TOctreeNode* n = Reducible[level];
        if (!n) return;
        Reducible[level] = n->Next;
        int children = 0;
        for (auto& c : n->Child)
            if (c) {
                n->PixelCount += c->PixelCount;
                n->Red += c->Red;
                n->Green += c->Green;
                n->Blue += c->Blue;
                c.reset();
                ++children;
            }
        n->Leaf = true;
        Leaves -= children - 1;
    }

    static void Collect(const TOctreeNode* N, std::vector<TPaletteEntry>& Out) {
        if (!N) return;
        if (N->Leaf) {
            if (N->PixelCount == 0)
                Out.push_back(Entry(0, 0, 0, 0));
            else
                Out.push_back(
                    Entry(N->Red / N->PixelCount, N->Green / N->PixelCount, N->Blue / N->PixelCount, 0));
            return;
        }
        for (const auto& c : N->Child) Collect(c.get(), Out);
    }

    int Limit, Depth;
    int Leaves = 0;
    std::unique_ptr<TOctreeNode> Root;
    TOctreeNode* Reducible[8] = {};
};

}  // namespace

HPALETTE OctreePalette(TBitmap& Bitmap, int Colors, int ColorBits, bool WithSystemColors) {
    const int n = WithSystemColors ? 256 : std::clamp(Colors, 1, 256);
    TColorQuantizer q(WithSystemColors ? 236 : n, ColorBits);
    q.Feed(Bitmap);
    std::vector<TPaletteEntry> colours;
    q.CollectColors(colours);
    std::vector<TPaletteEntry> e;
    if (WithSystemColors) {
        const std::vector<TPaletteEntry> sys = SystemColors();
        e.assign(sys.begin(), sys.begin() + 10);
        for (auto& s : e) s.peFlags = 0;
        e.insert(e.end(), colours.begin(), colours.end());
        e.resize(246, Entry(0, 0, 0, 0));
        for (auto it = sys.end() - 10; it != sys.end(); ++it)
            e.push_back(Entry(it->peRed, it->peGreen, it->peBlue, 0));
    } else {
        e = colours;
        e.resize(static_cast<size_t>(n), Entry(0, 0, 0, 0));
    }
    return PaletteOf(e);
}

// ---------------------------------------------------------------------------------------------
// Lookups

TFastColorLookup::TFastColorLookup(HPALETTE Palette) : Cache(32768, -1) {
    for (const TPaletteEntry& e : EntriesOf(Palette)) FEntries.push_back({e.peRed, e.peGreen, e.peBlue});
    PaletteSize = static_cast<int>(FEntries.size());
    for (int i = 0; i < PaletteSize; ++i) {
        int16_t& slot = Cache[static_cast<size_t>(Key(FEntries[i][0], FEntries[i][1], FEntries[i][2]))];
        if (slot < 0) slot = static_cast<int16_t>(i);
    }
}

int TFastColorLookup::Nearest(int R, int G, int B, int& CR, int& CG, int& CB) {
    int16_t& slot = Cache[static_cast<size_t>(Key(R, G, B))];
    if (slot < 0) {
        int best = 0, bestDistance = 1 << 30;
        for (int i = 0; i < PaletteSize; ++i) {
            const int d =
                std::abs(FEntries[i][0] - R) + std::abs(FEntries[i][1] - G) + std::abs(FEntries[i][2] - B);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        slot = static_cast<int16_t>(best);
    }
    CR = FEntries[slot][0];
    CG = FEntries[slot][1];
    CB = FEntries[slot][2];
    return slot;
}

int TNetscapeColorLookup::Nearest(int R, int G, int B, int& CR, int& CG, int& CB) {
    const int r = (R + 3) / 51, g = (G + 3) / 51, b = (B + 3) / 51;
    CR = r * 51;
    CG = g * 51;
    CB = b * 51;
    return r * 36 + g * 6 + b;
}

int TGrayScaleLookup::Nearest(int R, int G, int B, int& CR, int& CG, int& CB) {
    const int grey = (R * 77 + G * 150 + B * 29) >> 8;
    CR = CG = CB = grey;
    return grey;
}

int TMonochromeLookup::Nearest(int R, int G, int B, int& CR, int& CG, int& CB) {
    const bool white = R * 77 + G * 150 + B * 29 >= 32513;
    CR = CG = CB = white ? 255 : 0;
    return white ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Dithering

int TDitherEngine::DitherPixel(int R, int G, int B) {
    int r, g, b;
    const int index = Lookup.Nearest(R, G, B, r, g, b);
    AdvanceColumn();
    return index;
}

void TDitherEngine::AdvanceRow() {
    Step = -Step;
    Cursor = Step < 0 ? RowWidth - 1 : 0;
}

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int ARowWidth, TColorLookup& ALookup)
    : TDitherEngine(ARowWidth, ALookup) {
    for (auto& e : E) e.assign(static_cast<size_t>(RowWidth) + 2, 0);
}

int TFloydSteinbergDitherer::DitherPixel(int R, int G, int B) {
    const int c[3] = {R, G, B};
    int v[3], chosen[3];
    for (int ch = 0; ch < 3; ++ch) v[ch] = std::clamp(c[ch] + (E[ch][K] + Carry[ch] + 8) / 16, 0, 255);
    const int index = Lookup.Nearest(v[0], v[1], v[2], chosen[0], chosen[1], chosen[2]);
    for (int ch = 0; ch < 3; ++ch) {
        const int d = v[ch] - chosen[ch];
        if (d != 0) {
            E[ch][K] = BelowPrev[ch] + 3 * d;
            BelowPrev[ch] = Below[ch] + 5 * d;
            Below[ch] = d;
            Carry[ch] = 7 * d;
        } else {
            Carry[ch] = 0;
        }
    }
    AdvanceColumn();
    return index;
}

void TFloydSteinbergDitherer::AdvanceColumn() {
    TDitherEngine::AdvanceColumn();
    K += Step;
}

void TFloydSteinbergDitherer::AdvanceRow() {
    for (int ch = 0; ch < 3; ++ch) {
        // K stands just after the row's last pixel, inside the margin.
        E[ch][K] = BelowPrev[ch];
        Carry[ch] = Below[ch] = BelowPrev[ch] = 0;
    }
    TDitherEngine::AdvanceRow();
    K = Step < 0 ? RowWidth + 1 : 0;
}

TKernelDitherer::TKernelDitherer(int ARowWidth, TColorLookup& ALookup, int ARows, int AMargin, int AWeightSum,
                                 std::vector<TKernelEntry> AKernel)
    : TDitherEngine(ARowWidth, ALookup),
      Margin(AMargin),
      WeightSum(AWeightSum),
      Kernel(std::move(AKernel)),
      K(AMargin) {
    for (auto& rows : E)
        rows.assign(static_cast<size_t>(ARows), std::vector<int32_t>(RowWidth + 2 * Margin, 0));
}

int TKernelDitherer::DitherPixel(int R, int G, int B) {
    const int c[3] = {R, G, B};
    int v[3], chosen[3];
    for (int ch = 0; ch < 3; ++ch)
        v[ch] = std::clamp(c[ch] + (E[ch][0][K] + WeightSum / 2) / WeightSum, 0, 255);
    const int index = Lookup.Nearest(v[0], v[1], v[2], chosen[0], chosen[1], chosen[2]);
    for (int ch = 0; ch < 3; ++ch) {
        const int d = v[ch] - chosen[ch];
        if (d == 0) continue;
        for (const TKernelEntry& k : Kernel) E[ch][k.Row][K + k.Offset * Step] += d * k.Weight;
    }
    AdvanceColumn();
    return index;
}

void TKernelDitherer::AdvanceColumn() {
    TDitherEngine::AdvanceColumn();
    K += Step;
}

void TKernelDitherer::AdvanceRow() {
    for (auto& rows : E) {
        std::fill(rows[0].begin(), rows[0].end(), 0);
        std::rotate(rows.begin(), rows.begin() + 1, rows.end());
    }
    TDitherEngine::AdvanceRow();
    K = Cursor + Margin;
}

std::unique_ptr<TDitherEngine> NewDitherer(TGIFDitherKind Kind, int RowWidth, TColorLookup& Lookup) {
    switch (Kind) {
        case dkNearest:
            return std::make_unique<TDitherEngine>(RowWidth, Lookup);
        case dkFloydSteinberg:
            return std::make_unique<TFloydSteinbergDitherer>(RowWidth, Lookup);
        case dkStucki:
            return std::make_unique<TKernelDitherer>(RowWidth, Lookup, 3, 2, 42,
                                                     std::vector<TKernelEntry>{{0, 1, 8},
                                                                               {0, 2, 4},
                                                                               {1, -2, 2},
                                                                               {1, -1, 4},
                                                                               {1, 0, 8},
                                                                               {1, 1, 4},
                                                                               {1, 2, 2},
                                                                               {2, -2, 1},
                                                                               {2, -1, 2},
                                                                               {2, 0, 4},
                                                                               {2, 1, 2},
                                                                               {2, 2, 1}});
        case dkSierra:
            return std::make_unique<TKernelDitherer>(RowWidth, Lookup, 3, 2, 32,
                                                     std::vector<TKernelEntry>{{0, 1, 5},
                                                                               {0, 2, 3},
                                                                               {1, -2, 2},
                                                                               {1, -1, 4},
                                                                               {1, 0, 5},
                                                                               {1, 1, 4},
                                                                               {1, 2, 2},
                                                                               {2, -1, 2},
                                                                               {2, 0, 3},
                                                                               {2, 1, 2}});
        case dkJarvisJudiceNinke:
            return std::make_unique<TKernelDitherer>(RowWidth, Lookup, 3, 2, 48,
                                                     std::vector<TKernelEntry>{{0, 1, 7},
                                                                               {0, 2, 5},
                                                                               {1, -2, 3},
                                                                               {1, -1, 5},
                                                                               {1, 0, 7},
                                                                               {1, 1, 5},
                                                                               {1, 2, 3},
                                                                               {2, -2, 1},
                                                                               {2, -1, 3},
                                                                               {2, 0, 5},
                                                                               {2, 1, 3},
                                                                               {2, 2, 1}});
        case dkStevensonArce:
            return std::make_unique<TKernelDitherer>(RowWidth, Lookup, 4, 3, 200,
                                                     std::vector<TKernelEntry>{{0, 2, 32},
                                                                               {1, -3, 12},
                                                                               {1, -1, 26},
                                                                               {1, 1, 30},
                                                                               {1, 3, 16},
                                                                               {2, -2, 12},
                                                                               {2, 0, 26},
                                                                               {2, 2, 12},
                                                                               {3, -3, 5},
                                                                               {3, -1, 12},
                                                                               {3, 1, 12},
                                                                               {3, 3, 5}});
        case dkBurkes:
            return std::make_unique<TKernelDitherer>(
                RowWidth, Lookup, 2, 2, 32,
                std::vector<TKernelEntry>{
                    {0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}});
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// ReduceBitmap

std::unique_ptr<TBitmap> ReduceBitmap(TBitmap& Bitmap, TGIFReductionMethod Method, TGIFDitherKind Dither,
                                      HPALETTE CustomPalette, int BitCount) {
    auto result = std::make_unique<TBitmap>();
    if (Method == rdNone) {
        result->Assign(Bitmap);
        result->SetPixelFormat(pf24bit);
        return result;
    }
    // A copy is read (in 24 bits per pixel), so that the caller's bitmap keeps its format.
    TBitmap source;
    source.Assign(Bitmap);
    const int w = source.Width(), h = source.Height();
    if (w <= 0 || h <= 0 || Method > rdCustomPalette) return result;
    if (int64_t(w) * h > 500000) result->SetPixelFormat(pf1bit);
    HPALETTE palette = 0;
    switch (Method) {
        case rdSystem20: {
            std::vector<TPaletteEntry> e = SystemColors();
            palette = PaletteOf(e);
            break;
        }
        case rdHalftone:
            palette = HalftoneSystemPalette();
            break;
        case rdSystemGray:
            palette = SystemGray4Palette();
            break;
        case rdBlackWhite:
            palette = BlackWhitePalette();
            break;
        case rdGray256:
            palette = Gray256Palette();
            break;
        case rdWebCube:
            palette = WebPalette();
            break;
        case rdOctree:
            palette = OctreePalette(source, 1 << std::clamp(BitCount, 1, 8), 8, false);
            break;
        case rdOctreeSystem:
            palette = OctreePalette(source, 256, 8, true);
            break;
        case rdCustomPalette:
            if (!EntriesOf(CustomPalette).empty()) palette = PaletteOf(EntriesOf(CustomPalette));
            break;
        default:
            break;
    }
    if (!palette) return std::make_unique<TBitmap>();
    struct PaletteGuard {
        HPALETTE P;
        ~PaletteGuard() { DeleteObject(P); }
    } guard{palette};
    std::unique_ptr<TColorLookup> lookup;
    if (Method == rdBlackWhite)
        lookup = std::make_unique<TMonochromeLookup>();
    else if (Method == rdGray256)
        lookup = std::make_unique<TGrayScaleLookup>();
    else if (Method == rdWebCube)
        lookup = std::make_unique<TNetscapeColorLookup>();
    else
        lookup = std::make_unique<TFastColorLookup>(palette);
    if (lookup->PaletteSize == 0) return std::make_unique<TBitmap>();
    std::unique_ptr<TDitherEngine> ditherer = NewDitherer(Dither, w, *lookup);
    if (!ditherer) return std::make_unique<TBitmap>();
    TDIBReader reader(source, pf24bit);
    {
        TDIBWriter writer(*result, palette, h, w, pf8bit);
        for (int y = 0; y < h; ++y) {
            const uint8_t* src = reader.RowPointer(y);
            uint8_t* dst = writer.RowPointer(y);
            for (int n = 0; n < w; ++n) {
                const int x = ditherer->Cursor;
                const uint8_t* p = src + x * 3;  // blue, green, red
                dst[x] = static_cast<uint8_t>(ditherer->DitherPixel(p[2], p[1], p[0]));
            }
            ditherer->AdvanceRow();
        }
        writer.Commit();
    }
    return result;
}

}  // namespace codecs
