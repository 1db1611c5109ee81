#include "framework/core/Filer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "framework/testsupport/MemFiler.h"

namespace framework {
namespace {

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string r;
    for (unsigned char c : bytes) {
        if (!r.empty()) r += ' ';
        r += digits[c >> 4];
        r += digits[c & 15];
    }
    return r;
}

TEST(FilerTest, EveryValueKindRoundTripsInItsSmallestForm) {
    // Read back through a buffer smaller than most values, so that values cross refills.
    for (int bufSize : {16, 1024}) {
        SCOPED_TRACE(bufSize);
        TMemFiler f(bufSize);
        TWriter& w = f.Writer();
        const std::vector<std::pair<int64_t, TValueType>> ints{
            {0, vaInt8},          {-128, vaInt8},       {127, vaInt8},
            {128, vaInt16},       {-129, vaInt16},      {32767, vaInt16},
            {-32768, vaInt16},    {32768, vaInt32},     {-32769, vaInt32},
            {INT32_MAX, vaInt32}, {INT32_MIN, vaInt32}, {int64_t{INT32_MAX} + 1, vaInt64},
            {INT64_MIN, vaInt64}, {INT64_MAX, vaInt64},
        };
        for (auto& [v, t] : ints) w.WriteInteger(v);
        const long double third = 1.0L / 3.0L;
        const std::vector<long double> floats{
            third, -2.5L, 0.0L, 1e300L * 1e300L, 3.6e-4951L, std::numeric_limits<long double>::infinity()};
        for (long double v : floats) w.WriteFloat(v);
        w.WriteSingle(0.1f);
        w.WriteCurrency(Currency::FromRaw(-123456789));
        w.WriteDate(45000.75);
        const std::string s255(255, 'x'), s256(256, 'y'), s70k(70000, '\xE9');
        for (const std::string* s : {&s255, &s256, &s70k}) w.WriteString(*s);
        w.WriteString("");
        w.WriteChar('\xA3');
        w.WriteWideString(u"W\u00e9\u20ac\U0001F600");
        w.WriteBoolean(true);
        w.WriteBoolean(false);
        for (const char* ident : {"alBottom", "True", "False", "nil", "Null"}) w.WriteIdent(ident);
        const std::vector<std::string> names{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
        w.WriteSet(0b1010, names);
        w.WriteSet(0, names);
        w.WriteBinary([](TStream* s) { s->WriteBuffer("\0\1\2", 3); });
        w.WriteListBegin();
        w.WriteInteger(7);
        w.WriteListBegin();
        w.WriteListEnd();
        w.WriteListEnd();
        w.WriteStr("Name");

        TReader& r = f.Reader();
        for (auto& [v, t] : ints) {
            EXPECT_EQ(r.NextValue(), t) << v;
            EXPECT_EQ(r.ReadInt64(), v);
        }
        for (long double v : floats) {
            EXPECT_EQ(r.NextValue(), vaExtended);
            long double back = r.ReadFloat();
            EXPECT_TRUE(back == v) << static_cast<double>(v);  // exactly: extended holds every bit
        }
        EXPECT_EQ(r.ReadSingle(), 0.1f);
        EXPECT_EQ(r.ReadCurrency().Value, -123456789);
        EXPECT_EQ(r.ReadDate(), 45000.75);
        EXPECT_EQ(r.NextValue(), vaString);
        EXPECT_EQ(r.ReadString(), s255);
        EXPECT_EQ(r.NextValue(), vaLString);
        EXPECT_EQ(r.ReadString(), s256);
        EXPECT_EQ(r.ReadString(), s70k);
        EXPECT_EQ(r.ReadString(), "");
        EXPECT_EQ(r.ReadChar(), '\xA3');
        EXPECT_EQ(r.NextValue(), vaWString);
        EXPECT_EQ(r.ReadWideString(), u"W\u00e9\u20ac\U0001F600");
        EXPECT_TRUE(r.ReadBoolean());
        EXPECT_FALSE(r.ReadBoolean());
        for (const char* ident : {"alBottom", "True", "False", "nil", "Null"})
            EXPECT_EQ(r.ReadIdent(), ident);
        EXPECT_EQ(r.ReadSet(names), 0b1010u);
        EXPECT_EQ(r.ReadSet(names), 0u);
        auto bin = r.ReadBinary();
        EXPECT_EQ(std::string(bin->Memory(), 3), std::string("\0\1\2", 3));
        r.ReadListBegin();
        EXPECT_EQ(r.ReadInteger(), 7);
        r.ReadListBegin();
        EXPECT_TRUE(r.EndOfList());
        r.ReadListEnd();
        r.ReadListEnd();
        EXPECT_EQ(r.ReadStr(), "Name");
        EXPECT_THROW(r.ReadValue(), EReadError);  // nothing more
    }
}

TEST(FilerTest, ValuesAreReadAcrossKindsAsTheyConvert) {
    TMemFiler f;
    TWriter& w = f.Writer();
    w.WriteWideString(u"caf\u00e9 \u0416");  // a character the code page lacks comes as "?"
    w.WriteString("\xE9t\xE9");
    w.WriteInteger(5);  // integers serve where floats, currency and dates are read
    w.WriteInteger(-2);
    w.WriteInteger(int64_t{1} << 40);
    w.WriteInteger(3);
    w.WriteSingle(1.5f);
    // A UTF-8 string value, as another writer may produce it.
    const char utf8[] = {vaUTF8String, 4, 0, 0, 0, 'c', 'a', '\xC3', '\xA9'};
    w.Write(utf8, sizeof utf8);
    TReader& r = f.Reader();
    EXPECT_EQ(r.ReadString(), "caf\xE9 ?");
    EXPECT_EQ(r.ReadWideString(), u"\u00e9t\u00e9");
    EXPECT_EQ(r.ReadFloat(), 5.0L);
    EXPECT_EQ(r.ReadCurrency().Value, -20000);
    EXPECT_THROW(r.ReadInteger(), EReadError);  // 2^40 does not fit 32 bits
    EXPECT_EQ(r.ReadDate(), 3.0);
    EXPECT_EQ(r.ReadFloat(), 1.5L);
    EXPECT_EQ(r.ReadString(), "ca\xE9");
}

TEST(FilerTest, AThousandItemListAndTheStreamPositionAfterReading) {
    TMemoryStream stream;
    {
        TWriter w(&stream);
        w.WriteListBegin();
        for (int i = 0; i < 1000; ++i) w.WriteString("item " + std::to_string(i));
        w.WriteListEnd();
    }
    stream.WriteBuffer("tail", 4);
    const int64_t listEnd = stream.Size() - 4;
    stream.SetPosition(0);
    std::vector<std::string> items;
    {
        TReader r(&stream);
        r.ReadListBegin();
        while (!r.EndOfList()) items.push_back(r.ReadString());
        r.ReadListEnd();
        EXPECT_EQ(r.Position(), listEnd);
    }
    // The reader read ahead into its buffer and gave the rest back when it went.
    EXPECT_EQ(stream.Position(), listEnd);
    ASSERT_EQ(items.size(), 1000u);
    EXPECT_EQ(items[999], "item 999");

    stream.SetPosition(0);
    TReader skipper(&stream, 64);
    skipper.SkipValue();
    EXPECT_EQ(skipper.Position(), listEnd);
}

// A component with two stored properties of its own and a child of a registered class.
class TStreamed : public TComponent {
public:
    using TComponent::TComponent;
    std::vector<std::string> Lines;
    std::string Blob;
    bool StoreLines = true;
    int LoadedCalls = 0;
    bool LoadingWhileRead = false;
    std::vector<TComponent*> Children;

    void DefineProperties(TFiler* Filer) override {
        TComponent::DefineProperties(Filer);
        Filer->DefineProperty(
            "Lines",
            [this](TReader* R) {
                LoadingWhileRead = (ComponentState() & (csLoading | csReading)) == (csLoading | csReading);
                Lines.clear();
                R->ReadListBegin();
                while (!R->EndOfList()) Lines.push_back(R->ReadString());
                R->ReadListEnd();
            },
            [this](TWriter* W) {
                W->WriteListBegin();
                for (auto& l : Lines) W->WriteString(l);
                W->WriteListEnd();
            },
            StoreLines);
        Filer->DefineBinaryProperty(
            "Blob",
            [this](TStream* S) {
                Blob.resize(static_cast<size_t>(S->Size()));
                S->ReadBuffer(Blob.data(), static_cast<int32_t>(Blob.size()));
            },
            [this](TStream* S) { S->WriteBuffer(Blob.data(), static_cast<int32_t>(Blob.size())); },
            !Blob.empty());
    }
    void GetChildren(const TGetChildProc& Proc, TComponent*) override {
        for (TComponent* c : Children) Proc(c);
    }
    void Loaded() override {
        TComponent::Loaded();
        ++LoadedCalls;
    }
};

class TStreamedChild : public TStreamed {
public:
    using TStreamed::TStreamed;
};

class FilerComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterClass<TStreamed>();
        RegisterClass<TStreamedChild>();
    }
};

TEST_F(FilerComponentTest, TwoDefinedPropertiesAreWrittenAndReadAndLoadedRunsOnce) {
    TComponentPtr<TStreamed> source(new TStreamed(nullptr));
    source->SetName("Grid1");
    source->Lines = {"Form1.Cell1", "DataModule2.Cell7", ""};
    for (int i = 0; i < 70000; ++i) source->Blob += static_cast<char>(i * 7);
    auto* child = new TStreamedChild(source.get());
    child->SetName("Cell1");
    child->Lines = {"x"};
    source->Children.push_back(child);

    const std::string bytes = WriteRootComponentBytes(source.get());

    TComponentPtr<TStreamed> target(new TStreamed(nullptr));
    ReadRootComponentBytes(bytes, target.get());
    EXPECT_EQ(target->Name(), "Grid1");
    EXPECT_EQ(target->Lines, source->Lines);
    EXPECT_EQ(target->Blob, source->Blob);
    EXPECT_TRUE(target->LoadingWhileRead);
    EXPECT_EQ(target->LoadedCalls, 1);
    EXPECT_EQ(target->ComponentState() & (csLoading | csReading), 0u);
    // The child was made from its registered class, owned by the root, and loaded once too.
    ASSERT_EQ(target->ComponentCount(), 1);
    auto* readChild = dynamic_cast<TStreamedChild*>(target->Components(0));
    ASSERT_NE(readChild, nullptr);
    EXPECT_EQ(readChild->Name(), "Cell1");
    EXPECT_EQ(readChild->Lines, std::vector<std::string>{"x"});
    EXPECT_EQ(readChild->LoadedCalls, 1);

    // A new root of the stream's class.
    TComponentPtr<TComponent> made(ReadRootComponentBytes(bytes, nullptr));
    auto* madeRoot = dynamic_cast<TStreamed*>(made.get());
    ASSERT_NE(madeRoot, nullptr);
    EXPECT_EQ(madeRoot->Blob.size(), 70000u);
    EXPECT_EQ(madeRoot->ComponentCount(), 1);
}

TEST_F(FilerComponentTest, ASmallStreamHasTheseBytes) {
    TComponentPtr<TStreamed> c(new TStreamed(nullptr));
    c->SetName("G");
    c->Lines = {"A.B", std::string(300, 'z')};
    c->Blob = "\x01\x02";
    std::string bytes = WriteRootComponentBytes(c.get());
    const std::string expected =
        "54 50 46 30 "                    // signature
        "09 54 53 74 72 65 61 6D 65 64 "  // class name "TStreamed"
        "01 47 "                          // name "G"
        "05 4C 69 6E 65 73 "              // property "Lines"
        "01 06 03 41 2E 42 "              // list, string "A.B"
        "0C 2C 01 00 00 " +               // long string of 300 bytes
        Hex(std::string(300, 'z')) +
        " 00 "                   // end of list
        "04 42 6C 6F 62 "        // property "Blob"
        "0A 02 00 00 00 01 02 "  // binary of two bytes
        "00 "                    // end of properties
        "00";                    // end of children
    EXPECT_EQ(Hex(bytes), expected);

    TMemFiler f;
    f.Writer().WriteInteger(-2);
    f.Writer().WriteInteger(300);
    f.Writer().WriteInteger(-70000);
    f.Writer().WriteFloat(1.0L);
    f.Writer().WriteCurrency(Currency::FromInt(1));
    f.Writer().WriteIdent("vsReport");
    f.Writer().WriteSet(0b101, {"a", "b", "c"});
    EXPECT_EQ(Hex(f.Bytes()),
              "02 FE 03 2C 01 04 90 EE FE FF "
              "05 00 00 00 00 00 00 00 80 FF 3F "
              "10 10 27 00 00 00 00 00 00 "
              "07 08 76 73 52 65 70 6F 72 74 "
              "0B 01 61 01 63 00");
}

TEST_F(FilerComponentTest, TruncatedStreamsRaiseReadErrorAndLeakNothing) {
    TComponentPtr<TStreamed> source(new TStreamed(nullptr));
    source->SetName("Grid1");
    source->Lines = {"one", std::string(400, 'q')};
    source->Blob = "binary";
    auto* child = new TStreamedChild(source.get());
    child->SetName("Cell1");
    source->Children.push_back(child);
    const std::string bytes = WriteRootComponentBytes(source.get());
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        TComponentPtr<TStreamed> target(new TStreamed(nullptr));
        EXPECT_THROW(ReadRootComponentBytes(bytes.substr(0, cut), target.get()), EReadError);
        EXPECT_EQ(target->ComponentState() & (csLoading | csReading), 0u);
        EXPECT_EQ(target->LoadedCalls, 0);
        EXPECT_EQ(target->ComponentCount(), 0);  // the half-read child was freed
        EXPECT_THROW(ReadRootComponentBytes(bytes.substr(0, cut), nullptr), EReadError);
    }
}

TEST_F(FilerComponentTest, ForgedStreamsRaiseReadError) {
    auto component = [](const std::string& props, const std::string& children = "") {
        return std::string("TPF0\x09TStreamed\x01G", 16) + props + std::string(1, '\0') + children +
               std::string(1, '\0');
    };
    {
        // The frame the cases forge inside reads well as it is.
        TComponentPtr<TStreamed> target(new TStreamed(nullptr));
        ReadRootComponentBytes(component(std::string("\x05Lines\x01\x00", 8),
                                         std::string("\x0ETStreamedChild\x01X\x00\x00", 19)),
                               target.get());
        EXPECT_EQ(target->Name(), "G");
        EXPECT_EQ(target->ComponentCount(), 1);
    }
    struct TCase {
        const char* What;
        std::string Bytes;
    };
    const std::vector<TCase> cases{
        {"bad signature", "TPF1" + component("").substr(4)},
        {"unknown value type", component(std::string("\x05Lines\x55", 7))},
        {"list value where a string is expected", component(std::string("\x05Lines\x01\x01\x00\x00", 10))},
        {"binary length past the end", component(std::string("\x04"
                                                             "Blob\x0A\xFF\xFF\xFF\x7F",
                                                             10))},
        {"negative binary length", component(std::string("\x04"
                                                         "Blob\x0A\x00\x00\x00\x80",
                                                         10))},
        {"long string length past the end", component(std::string("\x05Lines\x01\x0C\xF0\xFF\xFF\x7F"
                                                                  "abc",
                                                                  15))},
        {"wide string length past the end", component(std::string("\x05Lines\x01\x12\xFF\xFF\xFF\x3F", 12))},
        {"property nobody defines", component(std::string("\x05Width\x02\x05", 8))},
        {"set where a binary is expected", component(std::string("\x04"
                                                                 "Blob\x0B\x00",
                                                                 7))},
        {"bad component name", component("", std::string("\x0ETStreamedChild\x03"
                                                         "1st\x00\x00",
                                                         20))},
        {"duplicate component name",
         component("", std::string("\x0ETStreamedChild\x01X\x00\x00\x0ETStreamedChild\x01x\x00\x00", 38))},
        {"lists nested past any sensible depth",
         component("\x05Lines" + std::string(100000, '\x01') + std::string(100000, '\0'))},
        {"components nested past any sensible depth",
         [] {
             std::string nested;
             for (int i = 0; i < 1000; ++i) nested += std::string("\x0ETStreamedChild\x00\x00", 17);
             return std::string("TPF0\x09TStreamed\x01G\x00", 17) + nested;
         }()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TComponentPtr<TStreamed> target(new TStreamed(nullptr));
        EXPECT_THROW(ReadRootComponentBytes(c.Bytes, target.get()), EReadError);
        EXPECT_EQ(target->ComponentCount(), 0);
        EXPECT_EQ(target->ComponentState() & csLoading, 0u);
    }
    // A class nobody registered.
    EXPECT_THROW(ReadRootComponentBytes(component("", std::string("\x07TNoSuch\x00\x00\x00", 11)), nullptr),
                 EClassNotFound);
    // A registered class that is no component cannot be a child.
    RegisterClass<TCollectionItem>();
    EXPECT_THROW(
        ReadRootComponentBytes(component("", std::string("\x0FTCollectionItem\x00\x00\x00", 19)), nullptr),
        EReadError);
}

namespace dup1 {
struct TDup : TComponent {
    using TComponent::TComponent;
};
}  // namespace dup1
namespace dup2 {
struct TDup : TComponent {
    using TComponent::TComponent;
};
}  // namespace dup2

TEST(FilerRegistryTest, ClassesAreFoundByNameAndKnowTheirAncestors) {
    RegisterClass<TStreamedChild>();
    RegisterClass<TStreamedChild>();  // again: nothing happens
    EXPECT_EQ(GetClass("tstreamedchild"), ClassOf<TStreamedChild>());
    EXPECT_EQ(FindClass("TStreamedChild"), ClassOf<TStreamedChild>());
    EXPECT_EQ(GetClass("TNotThere"), nullptr);
    try {
        FindClass("TNotThere");
        ADD_FAILURE();
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(e.Message, "Class TNotThere not found");
    }
    EXPECT_TRUE(ClassOf<TStreamedChild>()->InheritsFrom(ClassOf<TStreamed>()));
    EXPECT_TRUE(ClassOf<TStreamedChild>()->InheritsFrom(ClassOf<TPersistent>()));
    EXPECT_TRUE(ClassOf<TStreamed>()->InheritsFrom(ClassOf<TStreamed>()));
    EXPECT_FALSE(ClassOf<TStreamed>()->InheritsFrom(ClassOf<TStreamedChild>()));
    EXPECT_FALSE(ClassOf<TStreamed>()->InheritsFrom(ClassOf<TCollection>()));
    TStreamedChild probe(nullptr);
    EXPECT_TRUE(ClassOf<TStreamed>()->IsClassOf(&probe));
    EXPECT_FALSE(ClassOf<TCollectionItem>()->IsClassOf(&probe));

    // Another class under a name already taken.
    RegisterClass<dup1::TDup>();
    try {
        RegisterClass<dup2::TDup>();
        ADD_FAILURE();
    } catch (const EFilerError& e) {
        EXPECT_EQ(e.Message, "A class named TDup already exists");
    }
}

class TNamedItem : public TCollectionItem {
public:
    std::string Title;
    int Width = 0;
    void DefineProperties(TFiler* Filer) override {
        Filer->DefineProperty(
            "Title", [this](TReader* R) { Title = R->ReadString(); },
            [this](TWriter* W) { W->WriteString(Title); }, true);
        Filer->DefineProperty(
            "Width", [this](TReader* R) { Width = R->ReadInteger(); },
            [this](TWriter* W) { W->WriteInteger(Width); }, Width != 0);
    }
    void Assign(TPersistent* Source) override {
        if (auto* s = dynamic_cast<TNamedItem*>(Source)) {
            Title = s->Title;
            Width = s->Width;
            return;
        }
        TCollectionItem::Assign(Source);
    }
};

// A property whose name is longer than the largest value type (a sub-object's property is stored
// under "Owner.Property").
class TLongNamed : public TPersistent {
public:
    int Value = 0;
    void DefineProperties(TFiler* Filer) override {
        Filer->DefineProperty(
            "EntryCommands.SomeLongerPropertyName", [this](TReader* R) { Value = R->ReadInteger(); },
            [this](TWriter* W) { W->WriteInteger(Value); }, true);
    }
};

TEST(FilerPropertyTest, NamesLongerThanAnyValueTypeAreReadBack) {
    TLongNamed source;
    source.Value = 7;
    TMemFiler f;
    f.Writer().WriteProperties(&source);
    f.Writer().WriteListEnd();
    TLongNamed target;
    TReader& r = f.Reader();
    while (!r.EndOfList()) r.ReadProperty(&target);
    r.ReadListEnd();
    EXPECT_EQ(target.Value, 7);
}

TEST(FilerCollectionTest, CollectionsRoundTripAndSkip) {
    TCollection source(ClassOf<TNamedItem>());
    for (int i = 0; i < 3; ++i) {
        auto* item = static_cast<TNamedItem*>(source.Add());
        item->Title = "Column " + std::to_string(i);
        item->Width = i * 40;
    }
    TMemFiler f(16);
    f.Writer().WriteCollection(&source);
    f.Writer().WriteCollection(&source);
    f.Writer().WriteInteger(99);
    TCollection target(ClassOf<TNamedItem>());
    target.Add();  // replaced by what is read
    int changes = 0;
    target.OnChange = [&](TObject*) { ++changes; };
    f.Reader().ReadCollection(&target);
    EXPECT_EQ(changes, 1);  // one notice for the whole read
    ASSERT_EQ(target.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        auto* item = static_cast<TNamedItem*>(target.Items(i));
        EXPECT_EQ(item->Title, "Column " + std::to_string(i));
        EXPECT_EQ(item->Width, i * 40);
        EXPECT_EQ(item->Index(), i);
    }
    f.Reader().SkipValue();
    EXPECT_EQ(f.Reader().ReadInteger(), 99);

    TCollection copy(ClassOf<TNamedItem>());
    copy.Assign(&target);
    EXPECT_EQ(static_cast<TNamedItem*>(copy.Items(2))->Title, "Column 2");
    copy.Items(2)->SetIndex(0);
    EXPECT_EQ(static_cast<TNamedItem*>(copy.Items(0))->Title, "Column 2");
    copy.Delete(0);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_THROW(copy.Items(2), EListError);
    EXPECT_THROW(TCollection(ClassOf<TCollection>()), EFilerError);
}

}  // namespace
}  // namespace framework
