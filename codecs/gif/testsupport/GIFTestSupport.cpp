#include "codecs/gif/testsupport/GIFTestSupport.h"

#include <QImage>
#include <QImageReader>
#include <QString>

#include "framework/core/Stream.h"

namespace codecs::giftest {

int Shell(const std::string& Command, const TempDir& Folder) {
    return codecs::testing::Run(Command, Folder.Path());
}

void WritePPM(const std::string& Path, const Picture& P) {
    std::string s = "P6 " + std::to_string(P.W) + " " + std::to_string(P.H) + " 255\n";
    for (uint32_t c : P.Px) {
        s.push_back(static_cast<char>(c >> 16));
        s.push_back(static_cast<char>(c >> 8));
        s.push_back(static_cast<char>(c));
    }
    WriteFile(Path, s);
}

Picture FrameColors(TGIFSubImage& Frame, bool Transparent) {
    Picture p{Frame.Width, Frame.Height, {}};
    TGIFColorMap& map = Frame.EffectiveMap();
    const int t = Transparent && Frame.HasTransparency && Frame.ControlBlock
                      ? Frame.ControlBlock->TransparentIndex()
                      : -1;
    for (uint8_t i : Frame.IndexData) {
        if (i == t) {
            p.Px.push_back(Clear);
            continue;
        }
        const uint8_t* c = map.Triples.data() + (i < map.ColorCount ? i : 0) * 3;
        p.Px.push_back((uint32_t(c[0]) << 16) | (c[1] << 8) | c[2]);
    }
    return p;
}

std::vector<Picture> QtFrames(const std::string& Path) {
    std::vector<Picture> frames;
    QImageReader reader(QString::fromStdString(Path), "gif");
    QImage image;
    while (reader.read(&image)) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        Picture p{argb.width(), argb.height(), {}};
        for (int y = 0; y < p.H; ++y)
            for (int x = 0; x < p.W; ++x) {
                const QRgb c = argb.pixel(x, y);
                p.Px.push_back(qAlpha(c) == 0 ? Clear : (c & 0xFFFFFFu));
            }
        frames.push_back(std::move(p));
        if (!reader.canRead()) break;
    }
    return frames;
}

std::vector<Picture> MagickFrames(const TempDir& Folder, const std::string& File,
                                  const std::vector<std::pair<int, int>>& Sizes) {
    Shell("rm -f magick-*.rgb; convert '" + File + "' +adjoin rgb:magick-%d.rgb", Folder);
    std::vector<Picture> frames;
    for (size_t i = 0; i < Sizes.size(); ++i) {
        const std::string bytes = ReadFile(Folder / ("magick-" + std::to_string(i) + ".rgb"));
        Picture p{Sizes[i].first, Sizes[i].second, {}};
        for (size_t k = 0; k + 2 < bytes.size(); k += 3)
            p.Px.push_back((uint32_t(uint8_t(bytes[k])) << 16) | (uint8_t(bytes[k + 1]) << 8) |
                           uint8_t(bytes[k + 2]));
        frames.push_back(std::move(p));
    }
    return frames;
}

Loaded::Loaded(const std::vector<uint8_t>& Bytes) {
    Image.OnWarning = [this](framework::TObject*, int, const std::string& M) { Warnings.push_back(M); };
    framework::TMemoryStream s;
    if (!Bytes.empty()) s.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    s.SetPosition(0);
    Image.LoadFromStream(s);
}

std::vector<uint8_t> SaveBytes(TGIFImage& Image) {
    framework::TMemoryStream s;
    Image.SaveToStream(s);
    const auto* p = reinterpret_cast<const uint8_t*>(s.Memory());
    return std::vector<uint8_t>(p, p + s.Size());
}

std::string LoadError(const std::vector<uint8_t>& Bytes) {
    try {
        Loaded l(Bytes);
    } catch (GIFException& e) {
        return e.Message;
    }
    return "";
}

}  // namespace codecs::giftest
