#include "sysutil/shell/UtShlDD.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testsupport/TestDrives.h"

using namespace sysutil;
using namespace platform;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

namespace {

FORMATETC Format(uint16_t format, uint32_t aspect = DVASPECT_CONTENT, uint32_t tymed = TYMED_HGLOBAL) {
    FORMATETC f;
    f.cfFormat = format;
    f.dwAspect = aspect;
    f.tymed = tymed;
    return f;
}

class DragDataTest : public ::testing::Test {
protected:
    DragDataTest() : drives_("D=" + disk_.Path()) {
        disk_.WriteFile("d/a.txt", "");
        disk_.WriteFile("d/bb", "");
        a_ = SHParseDisplayName("D:\\d\\a.txt");
        b_ = SHParseDisplayName("D:\\d\\bb");
    }
    ~DragDataTest() override {
        ILFree(a_);
        ILFree(b_);
    }
    TTempFolder disk_;
    TScopedDrives drives_;
    LPITEMIDLIST a_ = nullptr, b_ = nullptr;
};

TEST_F(DragDataTest, OneFileOffersThreeFormats) {
    TUtDataObject data({ILFindLastID(a_)}, a_);
    std::shared_ptr<IEnumFORMATETC> formats;
    ASSERT_EQ(data.EnumFormatEtc(DATADIR_GET, formats), S_OK);
    FORMATETC records[5];
    uint32_t fetched = 0;
    EXPECT_EQ(formats->Next(5, records, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 3u);
    EXPECT_EQ(records[0].cfFormat, ShellIDListFormat());
    EXPECT_EQ(records[1].cfFormat, CF_HDROP);
    EXPECT_EQ(records[2].cfFormat, CF_TEXT);
    for (int i = 0; i < 3; ++i) {
        const FORMATETC& r = records[i];
        EXPECT_EQ(r.dwAspect, DVASPECT_CONTENT);
        EXPECT_EQ(r.lindex, -1);
        EXPECT_EQ(r.tymed, TYMED_HGLOBAL);
    }
    // Reset, skip past the end, clone at a position.
    formats->Reset();
    EXPECT_EQ(formats->Next(1, records, &fetched), S_OK);
    std::shared_ptr<IEnumFORMATETC> clone;
    formats->Clone(clone);
    EXPECT_EQ(clone->Next(1, records, &fetched), S_OK);
    EXPECT_EQ(records[0].cfFormat, CF_HDROP);
    formats->Skip(100);
    EXPECT_EQ(formats->Next(1, records, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(data.EnumFormatEtc(DATADIR_SET, formats), E_NOTIMPL);

    STGMEDIUM medium;
    ASSERT_EQ(data.GetData(Format(CF_HDROP), medium), S_OK);
    const std::string path = "D:\\d\\a.txt";
    std::vector<uint8_t> expected = {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    expected.insert(expected.end(), path.begin(), path.end());
    expected.push_back(0);
    expected.push_back(0);
    EXPECT_EQ(*medium.hGlobal, expected);
    EXPECT_EQ(medium.tymed, TYMED_HGLOBAL);

    ASSERT_EQ(data.GetData(Format(CF_TEXT), medium), S_OK);
    EXPECT_EQ(std::string(medium.hGlobal->begin(), medium.hGlobal->end()), path + '\0');
}

TEST_F(DragDataTest, TheIDListArrayOfTwoItemsIsPinned) {
    TUtDataObject data({ILFindLastID(a_), ILFindLastID(b_)}, b_);
    STGMEDIUM medium;
    ASSERT_EQ(data.GetData(Format(static_cast<uint16_t>(ShellIDListFormat())), medium), S_OK);
    const std::vector<uint8_t> expected = {
        2,  0, 0,   0,                                          // count
        16, 0, 0,   0,   29,  0,   0,   0,   38, 0, 0,   0,     // offsets: parent, a.txt, bb
        4,  0, ':', ':', 4,   0,   'D', ':', 3,  0, 'd', 0, 0,  // parent D:\d
        7,  0, 'a', '.', 't', 'x', 't', 0,   0,                 // a.txt
        4,  0, 'b', 'b', 0,   0,                                // bb
    };
    EXPECT_EQ(*medium.hGlobal, expected);
    TIDListArray back;
    ASSERT_TRUE(ReadIDListArray(medium.hGlobal->data(), medium.hGlobal->size(), back));
    EXPECT_EQ(back.Items.size(), 2u);
    EXPECT_EQ(back.Parent.size(), 13u);

    ASSERT_EQ(data.GetData(Format(CF_TEXT), medium), S_OK);
    EXPECT_EQ(std::string(medium.hGlobal->begin(), medium.hGlobal->end()),
              std::string("D:\\d\\a.txt\r\nD:\\d\\bb") + '\0');
    ASSERT_EQ(data.GetData(Format(CF_HDROP), medium), S_OK);
    std::vector<std::string> names;
    ASSERT_TRUE(ReadFileDropList(medium.hGlobal->data(), medium.hGlobal->size(), names));
    EXPECT_EQ(names, (std::vector<std::string>{"D:\\d\\a.txt", "D:\\d\\bb"}));
}

TEST_F(DragDataTest, QueriesAndTheRefusedCalls) {
    TUtDataObject data({ILFindLastID(a_)}, a_);
    struct Case {
        FORMATETC format;
        HRESULT result;
    } cases[] = {
        {Format(CF_HDROP), S_OK},
        {Format(CF_TEXT), S_OK},
        {Format(CF_HDROP, 4), DV_E_FORMATETC},                // not the content aspect
        {Format(2), DV_E_FORMATETC},                          // not offered
        {Format(CF_HDROP, DVASPECT_CONTENT, 4), DV_E_TYMED},  // offered in another medium
    };
    for (const auto& c : cases) {
        EXPECT_EQ(data.QueryGetData(c.format), c.result);
        STGMEDIUM medium;
        EXPECT_EQ(data.GetData(c.format, medium), c.result);
        EXPECT_EQ(medium.hGlobal.has_value(), c.result == S_OK);
    }
    STGMEDIUM medium;
    EXPECT_EQ(data.GetDataHere(Format(CF_HDROP), medium), E_NOTIMPL);
    EXPECT_EQ(data.SetData(Format(CF_HDROP), medium, true), E_NOTIMPL);
    FORMATETC in = Format(CF_HDROP), out;
    in.ptd = &in;
    EXPECT_EQ(data.GetCanonicalFormatEtc(in, out), DATA_S_SAMEFORMATETC);
    EXPECT_EQ(out.ptd, nullptr);
    EXPECT_EQ(out.cfFormat, CF_HDROP);
    EXPECT_EQ(data.DAdvise(), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(data.DUnadvise(), OLE_E_ADVISENOTSUPPORTED);
    void* advise = &data;
    EXPECT_EQ(data.EnumDAdvise(&advise), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(advise, nullptr);
}

TEST_F(DragDataTest, ManyItemsAreAccepted) {
    std::vector<LPCITEMIDLIST> items(20000, ILFindLastID(a_));
    TUtDataObject data(items, a_);
    STGMEDIUM medium;
    ASSERT_EQ(data.GetData(Format(CF_HDROP), medium), S_OK);
    std::vector<std::string> names;
    ASSERT_TRUE(ReadFileDropList(medium.hGlobal->data(), medium.hGlobal->size(), names));
    EXPECT_EQ(names.size(), 20000u);
}

TEST(DropSource, EscapeCancelsAndReleasingDrops) {
    TUtDropSource source;
    EXPECT_EQ(source.QueryContinueDrag(true, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(source.QueryContinueDrag(false, 0), DRAGDROP_S_DROP);
    EXPECT_EQ(source.QueryContinueDrag(false, MK_LBUTTON), S_OK);
    EXPECT_EQ(source.GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
}

}  // namespace
