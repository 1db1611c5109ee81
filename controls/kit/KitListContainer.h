#pragma once
// The container of one list of each kind (bitmaps, image strips, strings, waves), and the global
// one that the kit keeps for the whole run: controls that use its lists store only the list's
// signature in their form.

#include "controls/kit/KitContainer.h"
#include "controls/kit/KitGlyph.h"

namespace kit {

class TKitContainer : public TKitBaseContainer {
public:
    explicit TKitContainer(framework::TComponent* AOwner);
    ~TKitContainer() override;

    TKitBitmapList* BitmapList() const { return FBitmapList; }
    TKitImageList* ImageList() const { return FImageList; }
    TKitStringList* StringList() const { return FStringList; }
    TKitWaveList* WaveList() const { return FWaveList; }
    // The list of that kind (none for other kinds).
    TKitCustomContainer* List(int Kind) const;

    // A list changed: at design time, in a container other than the global one, the global
    // container's list of the same kind takes a copy; then the container's change notice.
    void ChildChanged(framework::TObject* Sender) override;

private:
    TKitBitmapList* FBitmapList;
    TKitImageList* FImageList;
    TKitStringList* FStringList;
    TKitWaveList* FWaveList;
};

// The kit's global container, made on first use and freed with the kit; its bitmap and image
// lists are the global image lists found by signature.
TKitContainer* GlobalContainer();

}  // namespace kit
