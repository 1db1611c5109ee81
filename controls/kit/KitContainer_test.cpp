// Container items and their stream format, container streams with the position table, container
// files read item by item, damaged and wrong-kind input, and change links.
#include "controls/kit/KitContainer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "controls/kit/KitUtils.h"
#include "framework/core/Filer.h"
#include "framework/core/Stream.h"
#include "framework/ui/Resources.h"

namespace kit {
namespace {

using namespace framework;

std::string Bytes(TMemoryStream& s) {
    return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

std::unique_ptr<TBitmap> Square(TColor c) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    FillBitmapColor(b.get(), TRect{0, 0, 8, 6}, c);
    return b;
}

TEST(ContainerItemTest, EmptyItemsAreOneByteAndRoundTrip) {
    for (bool compressed : {false, true}) {
        TKitBitmapListItem item(nullptr);
        item.Compressed = compressed;
        TMemoryStream s;
        item.WriteItem(&s);
        EXPECT_EQ(Bytes(s), std::string(1, compressed ? '\x01' : '\x00'));
    }
    TKitStringListItem lines(nullptr);
    lines.Ident = 7;
    lines.Description = "notes";
    TMemoryStream s;
    lines.WriteItem(&s);
    lines.Ident = 0;
    lines.Description.clear();
    lines.WriteItem(&s);
    s.SetPosition(0);
    TKitStringListItem back(nullptr);
    back.Items().Add("stale");
    back.ReadItem(&s);
    EXPECT_EQ(back.Ident, 7);
    EXPECT_EQ(back.Description, "notes");
    EXPECT_EQ(back.Items().Count(), 0);
    back.ReadItem(&s);
    EXPECT_EQ(back.Ident, 0);
    EXPECT_EQ(back.Description, "");
}

TEST(ContainerItemTest, BitmapAndStringItemsKeepContentDepthAndCompression) {
    TKitBitmapListItem item(nullptr);
    auto red = Square(clRed);
    item.SetBitmap(red.get());
    item.PixelFormat = spf8bit;
    item.Compressed = true;
    item.Ident = 300;
    TMemoryStream s;
    item.WriteItem(&s);
    EXPECT_EQ(static_cast<uint8_t>(Bytes(s)[0]), 0x01 | 0x04 | 0x08 | 0x40);
    s.SetPosition(0);
    TKitBitmapListItem back(nullptr);
    back.ReadItem(&s);
    EXPECT_EQ(back.PixelFormat, spf8bit);
    EXPECT_EQ(back.Ident, 300);
    EXPECT_EQ(back.Bitmap().Width(), 8);
    EXPECT_EQ(back.Bitmap().Canvas().Pixel(3, 3), clRed);

    TKitStringListItem lines(nullptr);
    lines.Items().Add("one");
    lines.Items().Add("two");
    TMemoryStream t;
    lines.WriteItem(&t);
    t.SetPosition(0);
    TKitStringListItem lb(nullptr);
    lb.ReadItem(&t);
    EXPECT_EQ(lb.Items().Count(), 2);
    EXPECT_EQ(lb.Items()[1], "two");
}

TEST(ContainerTest, IndexedStreamsHoldAPositionTable) {
    TKitBitmapList list(nullptr);
    int changes = 0;
    list.OnChange = [&](TObject*) { ++changes; };
    for (TColor c : {clRed, clLime, clBlue}) {
        auto* item = static_cast<TKitBitmapListItem*>(list.NewItem());
        auto b = Square(c);
        item->SetBitmap(b.get());
        list.AddItem(item);
    }
    EXPECT_GE(changes, 3);
    TMemoryStream s;
    list.SaveToStream(&s, true);
    s.SetPosition(0);
    EXPECT_EQ(ReadStreamInteger(&s), 3);
    int32_t starts[3];
    for (int32_t& at : starts) at = ReadStreamInteger(&s);
    EXPECT_EQ(starts[0], 16);
    const TColor colours[] = {clRed, clLime, clBlue};
    for (int i = 0; i < 3; ++i) {
        s.SetPosition(starts[i]);
        TKitBitmapListItem one(nullptr);
        one.ReadItem(&s);
        EXPECT_EQ(one.Bitmap().Canvas().Pixel(1, 1), colours[i]);
    }

    s.SetPosition(0);
    TKitBitmapList copy(nullptr);
    copy.LoadFromStream(&s, true);
    ASSERT_EQ(copy.Count(), 3);
    EXPECT_TRUE(copy.HasImage(2, 0));
    EXPECT_FALSE(copy.HasImage(3, 0));
    EXPECT_EQ(copy.ImageDimension(1, 0), 8);
    EXPECT_EQ(copy.ImageDimension(9, 1), 0);
    EXPECT_THROW(copy.Item(3), EListError);
}

TEST(ContainerTest, DamagedStreamsLeaveTheContainerAsItWas) {
    TKitStringList list(nullptr);
    list.AddItem();
    static_cast<TKitStringListItem*>(list.Item(0))->Items().Add("kept");
    TKitStringList source(nullptr);
    for (int i = 0; i < 2; ++i) {
        list.AddItem();
        source.AddItem();
        static_cast<TKitStringListItem*>(source.Item(i))->Items().Add("line " + std::to_string(i));
    }
    TMemoryStream whole;
    source.SaveToStream(&whole, false);
    const std::string bytes = Bytes(whole);
    std::vector<std::string> damaged = {bytes.substr(0, bytes.size() - 2), std::string("\xFF\xFF\xFF\x7F", 4),
                                        std::string("\x02\x00\x00\x00\x08\xFF\xFF\xFF\x7F", 9)};
    for (const std::string& d : damaged) {
        TMemoryStream s;
        s.WriteBuffer(d.data(), static_cast<int32_t>(d.size()));
        s.SetPosition(0);
        EXPECT_THROW(list.LoadFromStream(&s, false), Exception);
        ASSERT_EQ(list.Count(), 3);
        EXPECT_EQ(static_cast<TKitStringListItem*>(list.Item(0))->Items()[0], "kept");
    }
}

TEST(ContainerFileTest, ItemsAreReadByIndexAndBadFilesRefused) {
    TKitBitmapList list(nullptr);
    for (TColor c : {clRed, clBlue}) {
        auto* item = static_cast<TKitBitmapListItem*>(list.NewItem());
        auto b = Square(c);
        item->SetBitmap(b.get());
        list.AddItem(item);
    }
    const std::string path = ::testing::TempDir() + "kit_container.bml";
    {
        TFileStream f(path, fmCreate);
        WriteContainerFile(f, list);
    }
    if (const char* seeds = std::getenv("KORVANE_FUZZ_SEEDS"))
        std::filesystem::copy_file(path, std::string(seeds) + "/bitmaps.bml",
                                   std::filesystem::copy_options::overwrite_existing);
    TKitBitmapListItem item(nullptr);
    ReadItemFromFile(path, lkBitmapList, 1, item);
    EXPECT_EQ(item.Bitmap().Canvas().Pixel(2, 2), clBlue);

    auto expectRefused = [&](int Kind, int Index) {
        try {
            ReadItemFromFile(path, Kind, Index, item);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file: " + path);
        }
        EXPECT_EQ(item.Bitmap().Canvas().Pixel(2, 2), clBlue);  // unchanged
    };
    expectRefused(lkStringList, 0);  // another kind
    expectRefused(lkBitmapList, 2);  // no such item
    expectRefused(lkBitmapList, -1);

    TMemoryStream full;
    WriteContainerFile(full, list);
    const std::string bytes = Bytes(full);
    for (std::string bad :
         {bytes.substr(0, bytes.size() - 10), std::string("\x08KitGLL50\x01\x00\x00\x00", 13),
          std::string("\x08KitXXX30", 9)}) {
        TMemoryStream s;
        s.WriteBuffer(bad.data(), static_cast<int32_t>(bad.size()));
        s.SetPosition(0);
        EXPECT_THROW(ReadItemFromStream(s, "x.bml", lkBitmapList, 1, item), Exception);
        EXPECT_EQ(item.Bitmap().Canvas().Pixel(2, 2), clBlue);
    }
    EXPECT_EQ(ItemFileExtension(lkWaveList, true), ".wav");
    EXPECT_EQ(ItemFileExtension(5, false), "rtf");
}

TEST(ContainerFileTest, BitmapItemsFetchFromTheContainersSource) {
    TKitBitmapList list(nullptr);
    list.Source = 2;
    RegisterBitmapResource(31001, [](TBitmap& b) {
        b.SetPixelFormat(pf24bit);
        FillBitmapColor(&b, TRect{0, 0, 5, 5}, clFuchsia);
    });
    list.AddItem();
    list.Bitmaps(0)->Ident = 31001;
    EXPECT_EQ(list.Bitmaps(0)->Bitmap().Canvas().Pixel(1, 1), clFuchsia);
    list.Source = 3;  // a library: nothing is taken
    list.AddItem();
    list.Bitmaps(1)->Ident = 5;
    EXPECT_TRUE(list.Bitmaps(1)->Bitmap().Empty());
}

TEST(ContainerTest, LinksHearOfChangesAndDetachTwiceHarmlessly) {
    TKitWaveList list(nullptr);
    TKitChangeLink link;
    int heard = 0;
    link.OnChange = [&](TObject* Sender) { heard += Sender == &list; };
    list.RegisterLink(&link);
    list.AddItem();
    EXPECT_EQ(heard, 1);
    list.UnregisterLink(&link);
    list.UnregisterLink(&link);
    EXPECT_EQ(link.Sender, nullptr);
    list.Clear();
    EXPECT_EQ(heard, 1);
}

}  // namespace
}  // namespace kit

namespace kit {
namespace {

TEST(ContainerFileTest, BitmapItemsFetchFromAContainerFileOrSeparateFiles) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(::testing::TempDir()) / "kit_fetch";
    fs::create_directories(dir);
    {
        TKitBitmapList stored(nullptr);
        for (TColor c : {clRed, clLime}) {
            const int i = stored.AddItem();
            stored.Bitmaps(i)->SetBitmap(Square(c).get());
        }
        TFileStream f((dir / "pictures.bml").string(), fmCreate);
        WriteContainerFile(f, stored);
    }
    // Source 1: item Ident of the container file named by the prefix and SourceFile.
    TKitBitmapList list(nullptr);
    list.Source = 1;
    list.PathPrefixKind = ppFixed;
    list.SourceFile = (dir / "pictures.bml").string();
    list.AddItem();
    list.Bitmaps(0)->Ident = 1;
    EXPECT_EQ(list.Bitmaps(0)->Bitmap().Canvas().Pixel(2, 2), clLime);
    list.AddItem();
    list.Bitmaps(1)->Ident = 7;  // no such item: the file's error passes on, the bitmap stays empty
    EXPECT_ANY_THROW(list.Bitmaps(1)->Bitmap());
    EXPECT_TRUE(list.Bitmaps(1)->IsEmpty());

    // Source 4: the folder of SourceFile, the first three letters of its name, Ident, ".bmp".
    {
        TFileStream f((dir / "pic12.bmp").string(), fmCreate);
        Square(clBlue)->SaveToStream(f);
    }
    TKitBitmapList files(nullptr);
    files.Source = 4;
    files.PathPrefixKind = ppFixed;
    files.SourceFile = (dir / "pictures.bml").string();
    files.AddItem();
    files.Bitmaps(0)->Ident = 12;
    EXPECT_EQ(files.Bitmaps(0)->Bitmap().Canvas().Pixel(2, 2), clBlue);
    fs::remove_all(dir);
}

TEST(ContainerTest, AssignCopiesEveryItemWithOneNotice) {
    TKitBitmapList source(nullptr);
    source.DefaultCompressed = true;
    source.DefaultPixelFormat = spf8bit;
    for (TColor c : {clRed, clBlue}) {
        const int i = source.AddItem();
        source.Bitmaps(i)->SetBitmap(Square(c).get());
        source.Bitmaps(i)->Ident = static_cast<uint16_t>(10 + i);
        source.Bitmaps(i)->Description = "picture";
    }
    TKitBitmapList copy(nullptr);
    copy.AddItem();
    int changes = 0;
    copy.OnChange = [&](TObject*) { ++changes; };
    copy.Assign(&source);
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_TRUE(copy.DefaultCompressed);
    EXPECT_EQ(copy.DefaultPixelFormat, spf8bit);
    EXPECT_EQ(copy.Bitmaps(1)->Ident, 11);
    EXPECT_EQ(copy.Bitmaps(1)->Description, "picture");
    EXPECT_EQ(copy.Bitmaps(1)->Bitmap().Canvas().Pixel(1, 1), clBlue);
    EXPECT_NE(copy.Bitmaps(0), source.Bitmaps(0));
    EXPECT_EQ(copy.Bitmaps(0)->Owner(), &copy);
    TKitStringList strings(nullptr);
    EXPECT_THROW(copy.Assign(&strings), EConvertError);  // another kind of container
    EXPECT_EQ(copy.Count(), 2);
}

TEST(ContainerTest, ItemsStreamAsTheContainersChildren) {
    TKitStringList list(nullptr);
    EXPECT_NE(GetClass("TKitStringListItem"), nullptr);  // registered when the first list was made
    for (const char* line : {"one", "two"}) {
        auto* item = static_cast<TKitStringListItem*>(list.Item(list.AddItem()));
        item->Items().Add(line);
    }
    TMemoryStream stream;
    {
        TWriter writer(&stream, 1024);
        writer.WriteComponent(&list);
        writer.FlushBuffer();
    }
    stream.SetPosition(0);
    TKitStringList back(nullptr);
    TReader reader(&stream, 1024);
    reader.ReadComponent(&back);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(static_cast<TKitStringListItem*>(back.Item(1))->Items().Strings(0), "two");
}

}  // namespace
}  // namespace kit
