#include "controls/kit/KitListContainer.h"

namespace kit {

using namespace framework;

TKitContainer::TKitContainer(TComponent* AOwner)
    : TKitBaseContainer(AOwner),
      FBitmapList(NewComponent<TKitBitmapList>(this)),
      FImageList(NewComponent<TKitImageList>(this)),
      FStringList(NewComponent<TKitStringList>(this)),
      FWaveList(NewComponent<TKitWaveList>(this)) {
    for (int kind = lkImageList; kind <= lkStringList; ++kind)
        List(kind)->OnChange = [this](TObject* Sender) { ChildChanged(Sender); };
}

TKitContainer::~TKitContainer() {
    for (int kind = lkImageList; kind <= lkStringList; ++kind) List(kind)->OnChange = nullptr;
}

TKitCustomContainer* TKitContainer::List(int Kind) const {
    switch (Kind) {
        case lkImageList:
            return FImageList;
        case lkBitmapList:
            return FBitmapList;
        case lkWaveList:
            return FWaveList;
        case lkStringList:
            return FStringList;
        default:
            return nullptr;
    }
}

void TKitContainer::ChildChanged(TObject* Sender) {
    // A list, or one of its items.
    auto* list = dynamic_cast<TKitCustomContainer*>(Sender);
    if (!list)
        if (auto* item = dynamic_cast<TKitListItem*>(Sender))
            list = dynamic_cast<TKitCustomContainer*>(item->Owner());
    TKitContainer* global = GlobalContainer();
    if (list && this != global && (ComponentState() & csDesigning) && list->Owner() == this)
        global->List(list->ListKind())->Assign(list);
    Change();
}

TKitContainer* GlobalContainer() {
    struct TGlobal {
        TComponentPtr<TKitContainer> Container{NewComponent<TKitContainer>(nullptr)};
        TGlobal() {
            RegisterGlobalImageList(Container->BitmapList());
            RegisterGlobalImageList(Container->ImageList());
        }
        ~TGlobal() {
            UnregisterGlobalImageList(Container->BitmapList());
            UnregisterGlobalImageList(Container->ImageList());
        }
    };
    static TGlobal global;
    return global.Container.get();
}

}  // namespace kit
