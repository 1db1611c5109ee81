// Reading and writing GIF data.
#include "codecs/gif/GIFImage.h"
#include "framework/core/Stream.h"

namespace codecs {

using namespace framework;

void TGIFImage::LoadFromStream(TStream&) {
    RaiseGIFError("Reading GIF data is not supported yet");
}

void TGIFImage::SaveToStream(TStream&) {
    RaiseGIFError("Writing GIF data is not supported yet");
}

}  // namespace codecs
