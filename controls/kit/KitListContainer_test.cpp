// The container of one list of each kind and the global container.
#include "controls/kit/KitListContainer.h"

#include <gtest/gtest.h>

namespace kit {
namespace {

using namespace framework;

TEST(KitContainerTest, HoldsOneListOfEachKindAndPassesTheirChangesOn) {
    TKitContainer container(nullptr);
    EXPECT_EQ(container.List(lkBitmapList), container.BitmapList());
    EXPECT_EQ(container.List(lkImageList)->ListKind(), lkImageList);
    EXPECT_EQ(container.List(lkStringList)->ListKind(), lkStringList);
    EXPECT_EQ(container.List(lkWaveList)->ListKind(), lkWaveList);
    EXPECT_EQ(container.List(4), nullptr);
    EXPECT_EQ(container.BitmapList()->Owner(), &container);
    int changes = 0;
    container.OnChange = [&](TObject*) { ++changes; };
    container.StringList()->AddItem();
    EXPECT_EQ(changes, 1);
    // At run time the global container is left alone.
    EXPECT_EQ(GlobalContainer()->StringList()->Count(), 0);
}

TEST(KitContainerTest, AtDesignTimeTheGlobalContainerTakesACopyOfAChangedList) {
    TKitContainer* global = GlobalContainer();
    EXPECT_EQ(GlobalImageList(ListSignature(lkBitmapList)), global->BitmapList());
    EXPECT_EQ(GlobalImageList(ListSignature(lkImageList)), global->ImageList());

    TKitContainer container(nullptr);
    container.SetDesigning(true);
    const int i = container.BitmapList()->AddItem();
    container.BitmapList()->Bitmaps(i)->Ident = 42;
    ASSERT_EQ(global->BitmapList()->Count(), 1);
    EXPECT_EQ(global->BitmapList()->Bitmaps(0)->Ident, 0);  // copied when the item was added
    container.BitmapList()->Bitmaps(i)->Change();           // an item's change is its list's
    EXPECT_EQ(global->BitmapList()->Bitmaps(0)->Ident, 42);
    global->BitmapList()->Clear();
}

}  // namespace
}  // namespace kit
