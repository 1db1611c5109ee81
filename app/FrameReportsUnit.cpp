#include "app/FrameReportsUnit.h"

#include "controls/kit/StyledMnuBtn.h"
#include "framework/stdctrls/Buttons.h"

namespace app {

using namespace framework;

TFrameReports::TFrameReports(TComponent* AOwner, TMainForm& Main) : TOptionFrame(AOwner, Main) {
    SetName("FrameReports");
    SumAllByVolBtn = AddButton("SumAllByVolBtn", "Disk Summary - All Disks Sorted By Volume ID",
                               "ADiskSummaryAllDisksSortedByVolumeID1");
    SumAllByFreeBtn = AddButton("SumAllByFreeBtn", "Disk Summary - All Disks Sorted By Free Space",
                                "BDiskSummaryAllDisksSortedByHighestFreeSpace1");
    CustomSummaryBtn = AddButton("CustomSummaryBtn", "Custom Summary Reports", "CCustomSummaryReports1");
    CustomFileBtn = AddButton("CustomFileBtn", "Custom File Reports", "OCustomFileReports1");
    ByFileSpecBtn =
        AddButton("ByFileSpecBtn", "    Files For Wildcard Filespec", "DFilesForWildcardFilespec1");
    ByVolumeLabelBtn =
        AddButton("ByVolumeLabelBtn", "Files For Wildcard Volume Label", "EFilesForWildcardVolumeLabel1");
    ByFolderNameBtn =
        AddButton("ByFolderNameBtn", "Files For Wildcard Folder Name", "FFilesForWildcardFolderName1");
    ByArchiveIDBtn =
        AddButton("ByArchiveIDBtn", "Files For Wildcard Archive ID", "GFilesForWildcardArchiveID1");
    ByCategoryBtn = AddButton("ByCategoryBtn", "Files By Category", "HFilesForACategory1");
    ByCommentTextKeywordsBtn =
        AddButton("ByCommentTextKeywordsBtn", "Files By Comment Text/Keywords", "IFilesByComment1");
    ByFileNameCommentTextBtn = AddButton("ByFileNameCommentTextBtn", "Files By Filename/Comment Text",
                                         "JFilesByFilenameCommentText1");
    DuplicateFilesBtn =
        AddButton("DuplicateFilesBtn", "Duplicate Files In Catalog", "KDuplicateFilesInCatalog1");
    UniqueFilesBtn = AddButton("UniqueFilesBtn", "Unique Files In Catalog", "LUniqueFilesInCatalog1");
    VolSummaryFileContentsBtn =
        AddButton("VolSummaryFileContentsBtn", "Volume Summary/File Contents", "MVolumeSummaryFileContents1");
    SortedListingsBtn = AddMenuButton("SortedListingsBtn", "Sorted Listings Of All Files",
                                      {{"&A. Sort By FileName", "ASortByFileName1"},
                                       {"&B. Sort By File Extension", "BSortByFileExtension1"},
                                       {"&C. Sort By Volume Label", "CSortByVolumeLabel1"},
                                       {"&D. Sort By Folder Name", "DSortByFolderName1"},
                                       {"&E. Sort By Archive ID", "ESortByArchiveID1"},
                                       {"&F. Sort By File Size", "FSortByFileSize1"},
                                       {"&G. Sort By File Date/Time", "GSortByFileDateTime1"},
                                       {"&H. Sort By Category Code", "HSortByCategoryCode1"}});
}

void TFrameReports::LayOut(int P, int W) {
    const int h = (P - 57) / 8;
    const std::pair<TControl*, TControl*> rows[] = {
        {SumAllByVolBtn, CustomSummaryBtn},        {SumAllByFreeBtn, CustomFileBtn},
        {ByFileSpecBtn, ByFileNameCommentTextBtn}, {ByVolumeLabelBtn, DuplicateFilesBtn},
        {ByFolderNameBtn, UniqueFilesBtn},         {ByArchiveIDBtn, VolSummaryFileContentsBtn},
        {ByCategoryBtn, SortedListingsBtn},        {ByCommentTextKeywordsBtn, nullptr}};
    int row = 0;
    for (auto [left, right] : rows) {
        const bool wideLeft = row < 2;
        const int leftWidth = wideLeft ? (W - 15) * 265 / 446 : (W - 15) / 2;
        const int rightWidth = wideLeft ? (W - 15) * 181 / 446 : (W - 15) / 2;
        // Each button sits below the one above it in its column.
        const int top = row == 0 ? 6 : rows[row - 1].first->Top() + rows[row - 1].first->Height() + 2;
        left->SetBounds(6, top, leftWidth, h);
        if (right) {
            const int rightTop =
                row == 0 ? 6 : rows[row - 1].second->Top() + rows[row - 1].second->Height() + 2;
            right->SetBounds(left->Left() + left->Width() + 5, rightTop, rightWidth, h);
        }
        ++row;
    }
}

}  // namespace app
