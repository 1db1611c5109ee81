#include "framework/ui/DataModule.h"

#include "framework/ui/Forms.h"

namespace framework {

TDataModule::TDataModule(TComponent* AOwner) : TComponent(AOwner) {
    Loading();  // until AfterConstruction: components being set up in code
    Screen->AddDataModule(this);
}

TDataModule::~TDataModule() {
    // OnDestroy ran from Screen's notification when the module was freed with Free (or with its
    // owner). A plain delete reaches here with the derived parts already gone: too late for a
    // handler that may use them, so it does not run.
    Screen->RemoveDataModule(this);
}

void TDataModule::DoDestroy() {
    if (FDestroyed) return;
    FDestroyed = true;
    FireNotifyEvent(OnDestroy, this);
}

void TDataModule::AfterConstruction() {
    if (FCreated) return;
    FCreated = true;
    FinishLoading(this);
    FireNotifyEvent(OnCreate, this);
}

void TDataModule::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
    TComponent::GetChildren(Proc, Root);
    for (int i = 0; i < ComponentCount(); ++i) Proc(Components(i));
}

}  // namespace framework
