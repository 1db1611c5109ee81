#pragma once
// Data modules: non-visual containers of components (datasets, sources, tables) that forms share.
//
// A data module class's constructor creates its components, owned by the module, which starts in
// the loading state; TDataModule::Create<T>(Owner) then finishes the construction as for a form:
// Loaded on every component still loading and on the module, then OnCreate. Every data module is
// in Screen's data-module list from its construction until it is freed; OnDestroy runs when it is
// freed with Free (or with its owner), while it is still whole — not on a plain delete.

#include <utility>

#include "framework/core/Component.h"

namespace framework {

class TDataModule : public TComponent {
public:
    explicit TDataModule(TComponent* AOwner);
    ~TDataModule() override;

    // NewComponent<T>(Owner, args...) followed by AfterConstruction.
    template <class T, class... Args>
    static T* Create(TComponent* AOwner, Args&&... args) {
        T* module = NewComponent<T>(AOwner, std::forward<Args>(args)...);
        module->AfterConstruction();
        return module;
    }
    // Loaded on the components still loading, then on the module, then OnCreate; once.
    void AfterConstruction();

    // The components the module owns are its streamed children.
    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;

private:
    friend class TScreen;
    // Runs OnDestroy once; an exception goes to the application's handler.
    void DoDestroy();

    bool FCreated = false;
    bool FDestroyed = false;
};

}  // namespace framework
