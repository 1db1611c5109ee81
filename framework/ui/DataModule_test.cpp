#include "framework/ui/DataModule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/Filer.h"
#include "framework/testsupport/MemFiler.h"
#include "framework/ui/Forms.h"

namespace framework {
namespace {

// A component with one stored value of its own.
class TCell : public TComponent {
public:
    using TComponent::TComponent;
    std::string Text;
    int LoadedCalls = 0;
    void DefineProperties(TFiler* Filer) override {
        TComponent::DefineProperties(Filer);
        Filer->DefineProperty(
            "Text", [this](TReader* R) { Text = R->ReadString(); },
            [this](TWriter* W) { W->WriteString(Text); }, !Text.empty());
    }
    void Loaded() override {
        TComponent::Loaded();
        ++LoadedCalls;
    }
};

class TCatalogData : public TDataModule {
public:
    explicit TCatalogData(TComponent* AOwner, std::vector<std::string>* Log = nullptr)
        : TDataModule(AOwner), FLog(Log) {
        Cell = NewComponent<TCell>(this);
        Cell->SetName("Cell1");
        Cell->Text = "catalog";
        OnCreate = [this](TObject*) { Note("create"); };
        OnDestroy = [this](TObject*) { Note("destroy, cell " + Cell->Text); };
    }
    void Loaded() override {
        TDataModule::Loaded();
        Note("loaded");
    }
    TCell* Cell;

private:
    void Note(const std::string& S) {
        if (FLog) FLog->push_back(S);
    }
    std::vector<std::string>* FLog;
};

int IndexOnScreen(TDataModule* M) {
    for (int i = 0; i < Screen->DataModuleCount(); ++i)
        if (Screen->DataModules(i) == M) return i;
    return -1;
}

TEST(DataModuleTest, ListedOnScreenFromCreationToFreeWithCreateAndDestroyOnce) {
    std::vector<std::string> log;
    const int before = Screen->DataModuleCount();
    auto* first = TDataModule::Create<TCatalogData>(nullptr, &log);
    first->SetName("CatalogData");
    auto* second = TDataModule::Create<TCatalogData>(nullptr);
    EXPECT_EQ(Screen->DataModuleCount(), before + 2);
    EXPECT_EQ(IndexOnScreen(first), before);  // in the order they were made
    EXPECT_EQ(IndexOnScreen(second), before + 1);
    first->AfterConstruction();  // a second time does nothing
    EXPECT_EQ(log, (std::vector<std::string>{"loaded", "create"}));
    EXPECT_EQ(first->ComponentState() & csLoading, 0u);

    first->Free();  // OnDestroy while the module is whole, then off the list
    EXPECT_EQ(log.back(), "destroy, cell catalog");
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(IndexOnScreen(second), before);
    EXPECT_EQ(Screen->DataModuleCount(), before + 1);

    // Freed with its owner, or deleted outright (without OnDestroy then): off the list as well.
    TComponentPtr<TComponent> owner(new TComponent(nullptr));
    TDataModule::Create<TCatalogData>(owner.get());
    EXPECT_EQ(Screen->DataModuleCount(), before + 2);
    owner.reset();
    EXPECT_EQ(Screen->DataModuleCount(), before + 1);
    auto* third = new TDataModule(nullptr);
    bool destroyed = false;
    third->OnDestroy = [&](TObject*) { destroyed = true; };
    delete third;
    EXPECT_FALSE(destroyed);
    second->Free();
    EXPECT_EQ(Screen->DataModuleCount(), before);
}

TEST(DataModuleTest, ItsComponentsStreamAsItsChildren) {
    RegisterClass<TCatalogData>();
    RegisterClass<TCell>();
    TComponentPtr<TCatalogData> source(TDataModule::Create<TCatalogData>(nullptr));
    source->SetName("CatalogData");
    auto* extra = NewComponent<TCell>(source.get());
    extra->SetName("Cell2");
    extra->Text = "second";
    const std::string bytes = WriteRootComponentBytes(source.get());

    // Read into a bare module: the cells come from their registered class, loaded once each.
    TComponentPtr<TDataModule> target(new TDataModule(nullptr));
    ReadRootComponentBytes(bytes, target.get());
    EXPECT_EQ(target->Name(), "CatalogData");
    ASSERT_EQ(target->ComponentCount(), 2);
    auto* cell2 = dynamic_cast<TCell*>(target->FindComponent("Cell2"));
    ASSERT_NE(cell2, nullptr);
    EXPECT_EQ(cell2->Text, "second");
    EXPECT_EQ(cell2->LoadedCalls, 1);
    EXPECT_EQ(static_cast<TCell*>(target->FindComponent("Cell1"))->Text, "catalog");
    EXPECT_EQ(target->ComponentState() & csLoading, 0u);

    // A read that fails adds nothing and leaves a module under construction still loading.
    TComponentPtr<TDataModule> broken(new TDataModule(nullptr));
    EXPECT_THROW(ReadRootComponentBytes(bytes.substr(0, bytes.size() - 3), broken.get()), EReadError);
    EXPECT_EQ(broken->ComponentCount(), 0);
    EXPECT_NE(broken->ComponentState() & csLoading, 0u);
}

}  // namespace
}  // namespace framework
