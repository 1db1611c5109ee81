#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/Exception.h"
#include "framework/core/Strings.h"
#include "framework/testsupport/MemFiler.h"
#include "sysutil/ShConst.h"
#include "sysutil/ShDQue.h"
#include "sysutil/ShDict.h"
#include "sysutil/ShList.h"

namespace sysutil {
namespace {

// Data pointers are small integers cast to pointers; disposal counts how often each was seen.
void* P(intptr_t v) {
    return reinterpret_cast<void*>(v);
}
intptr_t V(void* p) {
    return reinterpret_cast<intptr_t>(p);
}

std::map<intptr_t, int> disposed;
void CountDisposal(void* data) {
    ++disposed[V(data)];
}
void* LoadInt(framework::TReader* reader) {
    return P(reader->ReadInteger());
}
void StoreInt(framework::TWriter* writer, void* data) {
    writer->WriteInteger(static_cast<int32_t>(V(data)));
}

template <typename F>
int32_t CodeOf(F f) {
    try {
        f();
    } catch (const EShContainerError& e) {
        return e.ErrorCode;
    }
    return 0;
}

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

class Containers : public ::testing::Test {
protected:
    void SetUp() override { disposed.clear(); }
};

class TMyNode : public TUtListNode {};

TEST_F(Containers, QueueAndListBasics) {
    TUtDQue q;
    q.PopHead();  // empty: nothing happens
    EXPECT_EQ(q.PeekHead(), nullptr);
    q.SetDisposeFunc(CountDisposal);
    q.Append(P(1));
    q.Append(P(2));
    EXPECT_EQ(V(q.PeekHead()), 1);
    q.PopHead();
    EXPECT_EQ(disposed[1], 1);
    EXPECT_EQ(V(q.PeekHead()), 2);
    EXPECT_EQ(q.Count(), 1);

    TUtList list;
    TUtListNode* a = list.Append(P(10));
    list.Append(P(20));
    TUtListNode* c = list.Append(P(30));
    EXPECT_EQ(list.Head(), a);
    EXPECT_EQ(list.Tail(), c);
    TUtListNode* stop =
        list.IterateNodes([](TUtContainer*, TUtNode* n, void*) { return V(n->Data) != 20; }, false, nullptr);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(V(stop->Data), 20);
    list.Delete(stop);
    EXPECT_EQ(list.Next(a), c);
    EXPECT_EQ(c->Prev, a);
    list.Delete(nullptr);
    TUtDictNode foreign;
    EXPECT_EQ(CodeOf([&] { list.Delete(&foreign); }), 52);
    // The default compare function asks for one to be set.
    EXPECT_EQ(CodeOf([&] { list.DoCompare(P(1), P(2)); }), 51);

    TUtList copy;
    copy.Assign(&list);
    std::vector<intptr_t> seen;
    copy.Iterate(
        [&](TUtContainer*, void* d, void*) {
            seen.push_back(V(d));
            return true;
        },
        nullptr);
    EXPECT_EQ(seen, (std::vector<intptr_t>{10, 30}));
}

TEST_F(Containers, DestroyingDisposesEachDataOnce) {
    {
        TUtList list;
        list.SetDisposeFunc(CountDisposal);
        for (intptr_t i = 1; i <= 5; ++i) list.Append(P(i));
    }
    std::map<intptr_t, int> events;
    {
        TUtList list;
        list.OnDisposeData = [&](framework::TObject*, void* d) { ++events[V(d)]; };
        list.SetDisposeFunc(CountDisposal);  // the event takes precedence
        for (intptr_t i = 11; i <= 13; ++i) list.Append(P(i));
    }
    {
        TUtDictionary dict(7);
        dict.SetDisposeFunc(CountDisposal);
        dict.Add("x", P(21));
        dict.Add("y", P(22));
    }
    EXPECT_EQ(disposed, (std::map<intptr_t, int>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {21, 1}, {22, 1}}));
    EXPECT_EQ(events, (std::map<intptr_t, int>{{11, 1}, {12, 1}, {13, 1}}));
}

TEST_F(Containers, DictionaryLookupDuplicatesAndChains) {
    TUtDictionary dict(250);
    dict.SetDisposeFunc(CountDisposal);
    dict.Add("README.TXT", P(1));
    void* data = nullptr;
    ASSERT_TRUE(dict.Find("readme.txt", data));
    EXPECT_EQ(V(data), 1);
    EXPECT_FALSE(dict.Find("readme.tx", data));

    try {
        dict.Add("ReadMe.Txt", P(2));
        FAIL();
    } catch (const EShContainerError& e) {
        EXPECT_EQ(e.ErrorCode, 54);
        EXPECT_STREQ(e.what(), "Attempt to add duplicate node to TUtTree");
    }
    EXPECT_EQ(dict.Count(), 1);
    ASSERT_TRUE(dict.Find("README.TXT", data));
    EXPECT_EQ(V(data), 1);
    EXPECT_TRUE(disposed.empty());

    // One bucket: every name in one chain, the newest at the head.
    TUtDictionary chain(1);
    chain.Add("a", P(1));
    chain.Add("b", P(2));
    chain.Add("c", P(3));
    ASSERT_EQ(chain.Bucket(0)->Name, "c");
    ASSERT_TRUE(chain.Find("A", data));
    EXPECT_EQ(chain.Bucket(0)->Name, "a");
    EXPECT_EQ(chain.Bucket(0)->Next->Name, "c");
    EXPECT_EQ(chain.Bucket(0)->Next->Next->Name, "b");
    EXPECT_EQ(chain.Bucket(0)->Next->Next->Next, nullptr);
    ASSERT_TRUE(chain.Find("a", data));
    EXPECT_EQ(V(data), 1);
    EXPECT_EQ(chain.Bucket(0)->Name, "a");

    EXPECT_EQ(UtHashText("", 250), 0u);
    EXPECT_EQ(UtHashText("ab", 1000), ('A' ^ ('B' << 1)) % 1000u);
}

TEST_F(Containers, SetHashSizeKeepsEntriesAndFailsWithoutChange) {
    TUtDictionary dict(3);
    dict.SetDisposeFunc(CountDisposal);
    for (int i = 0; i < 40; ++i) dict.Add("name" + std::to_string(i), P(i + 1));
    dict.SetHashSize(3);
    dict.SetHashSize(17);
    EXPECT_EQ(dict.HashSize(), 17);
    EXPECT_EQ(dict.Count(), 40);
    for (int i = 0; i < 40; ++i) {
        void* data = nullptr;
        ASSERT_TRUE(dict.Find("NAME" + std::to_string(i), data));
        EXPECT_EQ(V(data), i + 1);
    }
    EXPECT_TRUE(disposed.empty());
    EXPECT_EQ(CodeOf([&] { dict.SetHashSize(0); }), 53);

    // An equality that makes everything equal cannot place the entries: nothing changes.
    std::vector<std::string> before;
    dict.IterateNodes(
        [&](TUtContainer*, TUtNode* n, void*) {
            before.push_back(static_cast<TUtDictNode*>(n)->Name);
            return true;
        },
        nullptr);
    dict.EqualFunc = [](const std::string&, const std::string&) { return int32_t{0}; };
    EXPECT_EQ(CodeOf([&] { dict.SetHashSize(1); }), 54);
    EXPECT_EQ(dict.HashSize(), 17);
    std::vector<std::string> after;
    dict.IterateNodes(
        [&](TUtContainer*, TUtNode* n, void*) {
            after.push_back(static_cast<TUtDictNode*>(n)->Name);
            return true;
        },
        nullptr);
    EXPECT_EQ(before, after);
    EXPECT_TRUE(disposed.empty());
}

TEST_F(Containers, DictionaryAssignFromStringList) {
    framework::TStringList lines;
    lines.Add("one");
    lines.Add("two");
    TUtDictionary dict(5);
    dict.Assign(&lines);
    EXPECT_EQ(dict.Count(), 2);
    void* data = P(99);
    EXPECT_TRUE(dict.Find("TWO", data));
    EXPECT_EQ(data, nullptr);
    TUtDictionary copy(2);
    copy.Assign(&dict);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_TRUE(copy.Find("one", data));
}

TEST_F(Containers, StreamingRoundTripWithPinnedBytes) {
    TUtList list;
    list.StoreFunc = StoreInt;
    list.Append(P(5));
    list.Append(P(300));
    framework::TMemoryStream ls;
    list.StoreToStream(&ls);
    const std::string listBytes(ls.Memory(), static_cast<size_t>(ls.Size()));
    // vaString "TUtList", vaString "TUtListNode", vaList, vaInt8 5, vaInt16 300, vaNull.
    EXPECT_EQ(Hex(listBytes),
              "0607" + Hex("TUtList") + "060B" + Hex("TUtListNode") + "01" + "0205" + "032C01" + "00");

    TUtDQue back;  // a descendant loads its ancestor's stream
    back.LoadFunc = LoadInt;
    ls.SetPosition(0);
    back.LoadFromStream(&ls);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(V(back.Head()->Data), 5);
    EXPECT_EQ(V(back.Tail()->Data), 300);

    TUtDictionary dict(3);
    dict.StoreFunc = StoreInt;
    dict.Add("A", P(1));  // bucket 65 mod 3 = 2
    dict.Add("B", P(2));  // bucket 66 mod 3 = 0
    framework::TMemoryStream ds;
    dict.StoreToStream(&ds);
    const std::string dictBytes(ds.Memory(), static_cast<size_t>(ds.Size()));
    EXPECT_EQ(Hex(dictBytes), "060D" + Hex("TUtDictionary") + "060B" + Hex("TUtDictNode") + "0203" + "01" +
                                  "0601" + Hex("B") + "0202" + "0601" + Hex("A") + "0201" + "00");

    TUtDictionary dictBack(100);
    dictBack.LoadFunc = LoadInt;
    ds.SetPosition(0);
    dictBack.LoadFromStream(&ds);
    EXPECT_EQ(dictBack.HashSize(), 3);
    void* data = nullptr;
    ASSERT_TRUE(dictBack.Find("a", data));
    EXPECT_EQ(V(data), 1);
    ASSERT_TRUE(dictBack.Find("b", data));
    EXPECT_EQ(V(data), 2);

    // Without data routines.
    TUtList bare;
    bare.Append(P(1));
    framework::TMemoryStream bs;
    EXPECT_EQ(CodeOf([&] { bare.StoreToStream(&bs); }), 59);
    ls.SetPosition(0);
    EXPECT_EQ(CodeOf([&] { bare.LoadFromStream(&ls); }), 60);
    EXPECT_EQ(bare.Count(), 0);
}

// A stream of a container class name, a node class name and the rest as given.
std::string Header(const std::string& container, const std::string& node, const std::string& rest) {
    framework::TMemFiler f;
    f.Writer().WriteString(container);
    f.Writer().WriteString(node);
    f.Writer().Write(rest.data(), static_cast<int32_t>(rest.size()));
    return f.Bytes();
}

template <typename C>
int32_t LoadCode(C& container, const std::string& bytes) {
    framework::TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    s.SetPosition(0);
    return CodeOf([&] { container.LoadFromStream(&s); });
}

TEST_F(Containers, LoadingRefusesWrongClassesAndBadStreams) {
    framework::RegisterClass<TMyNode>();
    TUtList list;
    list.LoadFunc = LoadInt;
    const std::string items("\x01\x02\x07\x00", 4);
    try {
        framework::TMemoryStream s;
        const std::string b = Header("TNoSuchList", "TUtListNode", items);
        s.WriteBuffer(b.data(), static_cast<int32_t>(b.size()));
        s.SetPosition(0);
        list.LoadFromStream(&s);
        FAIL();
    } catch (const EShContainerError& e) {
        EXPECT_EQ(e.ErrorCode, 57);
        EXPECT_STREQ(e.what(), "Container class name TNoSuchList read from stream is unregistered");
    }
    EXPECT_EQ(LoadCode(list, Header("TUtDictionary", "TUtListNode", items)), 61);
    EXPECT_EQ(LoadCode(list, Header("TUtDQue", "TUtListNode", items)), 61);  // a descendant, not an ancestor
    EXPECT_EQ(LoadCode(list, Header("TUtList", "TNoSuchNode", items)), 58);
    EXPECT_EQ(LoadCode(list, Header("TUtList", "TUtDictNode", items)), 62);
    EXPECT_EQ(LoadCode(list, Header("TUtList", "TMyNode", items)), 62);  // not an ancestor of TUtListNode
    EXPECT_EQ(LoadCode(list, Header("TUtList", "TUtListNode", items)), 0);
    EXPECT_EQ(list.Count(), 1);

    TUtList mine(framework::ClassOf<TMyNode>());
    mine.LoadFunc = LoadInt;
    EXPECT_EQ(LoadCode(mine, Header("TUtList", "TUtListNode", items)), 0);
    EXPECT_NE(dynamic_cast<TMyNode*>(mine.Head()), nullptr);

    TUtDictionary dict(5);
    dict.LoadFunc = LoadInt;
    EXPECT_EQ(LoadCode(dict, Header("TUtList", "TUtDictNode", "\x02\x03\x01\x00")), 61);
    EXPECT_EQ(LoadCode(dict, Header("TUtDictionary", "TUtListNode", "\x02\x03\x01\x00")), 62);
    EXPECT_EQ(LoadCode(dict, Header("TUtDictionary", "TUtDictNode", std::string("\x02\x00\x01\x00", 4))), 53);
    // 2^24 + 1 buckets are refused before anything is allocated.
    EXPECT_EQ(LoadCode(dict, Header("TUtDictionary", "TUtDictNode",
                                    std::string("\x04\x01\x00\x00\x01\x01\x00", 7))),
              53);
    // A duplicate name in the stream, and a truncated stream: the class library's read error,
    // the dictionary left empty and every loaded data pointer disposed.
    dict.SetDisposeFunc(CountDisposal);
    EXPECT_EQ(LoadCode(dict, Header("TUtDictionary", "TUtDictNode",
                                    std::string("\x02\x03\x01\x06\x01x\x02\x07\x06\x01X\x02\x08\x00", 14))),
              54);
    EXPECT_EQ(dict.Count(), 0);
    EXPECT_EQ(disposed, (std::map<intptr_t, int>{{7, 1}, {8, 1}}));
    const std::string truncated =
        Header("TUtDictionary", "TUtDictNode", std::string("\x02\x03\x01\x06\x01x\x02\x09\x06\x01", 10));
    framework::TMemoryStream s;
    s.WriteBuffer(truncated.data(), static_cast<int32_t>(truncated.size()));
    s.SetPosition(0);
    EXPECT_THROW(dict.LoadFromStream(&s), framework::EReadError);
    EXPECT_EQ(dict.Count(), 0);
    EXPECT_EQ(disposed[9], 1);
}

TEST_F(Containers, ThreadsShareOneList) {
    TUtList list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) list.Append(P(i + 1));
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(list.Count(), 8000);
    int n = 0;
    for (TUtListNode* node = list.Head(); node != nullptr; node = node->Next) ++n;
    EXPECT_EQ(n, 8000);
}

}  // namespace
}  // namespace sysutil
