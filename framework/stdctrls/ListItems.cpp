#include "framework/stdctrls/ListItems.h"

#include <cstring>

#include "framework/core/SysUtils.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

int TListItems::SortedIndex(const std::string& S) const {
    int i = 0;
    while (i < Count() && AnsiCompareText(Items[static_cast<size_t>(i)].Text, S) <= 0) ++i;
    return i;
}

int TListItems::Find(const std::string& S, intptr_t Start, bool Exact) const {
    int n = Count();
    if (n == 0) return -1;
    int from = (Start < 0 || Start >= n) ? 0 : static_cast<int>(Start) + 1;
    for (int k = 0; k < n; ++k) {
        int i = (from + k) % n;
        const std::string& t = Items[static_cast<size_t>(i)].Text;
        if (Exact ? AnsiCompareText(t, S) == 0
                  : (t.size() >= S.size() && AnsiCompareText(t.substr(0, S.size()), S) == 0))
            return i;
    }
    return -1;
}

const TListCodes ListBoxCodes{LB_ADDSTRING,   LB_INSERTSTRING,    LB_DELETESTRING, LB_RESETCONTENT,
                              LB_GETCOUNT,    LB_GETTEXT,         LB_GETTEXTLEN,   LB_GETITEMDATA,
                              LB_SETITEMDATA, LB_FINDSTRINGEXACT, LB_FINDSTRING,   LB_SELECTSTRING,
                              LB_SETCURSEL,   LB_GETCURSEL,       LB_ERR};
const TListCodes ComboBoxCodes{CB_ADDSTRING,   CB_INSERTSTRING,    CB_DELETESTRING, CB_RESETCONTENT,
                               CB_GETCOUNT,    CB_GETLBTEXT,       CB_GETLBTEXTLEN, CB_GETITEMDATA,
                               CB_SETITEMDATA, CB_FINDSTRINGEXACT, CB_FINDSTRING,   CB_SELECTSTRING,
                               CB_SETCURSEL,   CB_GETCURSEL,       CB_ERR};

namespace {

// TStrings over a list or combo box: every operation is one of the control's messages.
class TListMessageStrings : public TStrings {
public:
    using Codes = TListCodes;
    TListMessageStrings(TWinControl& Control, Codes C) : FControl(Control), FC(C) {}
    int Count() const override { return static_cast<int>(FControl.Perform(FC.Count, 0, 0)); }
    std::string Get(int Index) const override {
        LRESULT len = FControl.Perform(FC.TextLen, static_cast<WPARAM>(Index), 0);
        if (len < 0) throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
        std::string s(static_cast<size_t>(len) + 1, '\0');
        FControl.Perform(FC.Text, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(s.data()));
        s.resize(static_cast<size_t>(len));
        return s;
    }
    TObject* Objects(int Index) const override {
        return reinterpret_cast<TObject*>(FControl.Perform(FC.GetData, static_cast<WPARAM>(Index), 0));
    }
    void PutObject(int Index, TObject* AObject) override {
        FControl.Perform(FC.SetData, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(AObject));
    }
    int Add(const std::string& S) override {
        LRESULT r = FControl.Perform(FC.Add, 0, reinterpret_cast<LPARAM>(S.c_str()));
        if (r < 0) throw EListError("List index out of bounds (-1)");
        return static_cast<int>(r);
    }
    int AddObject(const std::string& S, TObject* AObject) override {
        int i = Add(S);
        PutObject(i, AObject);
        return i;
    }
    void Insert(int Index, const std::string& S) override {
        if (FControl.Perform(FC.Insert, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(S.c_str())) < 0)
            throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
    }
    void Put(int Index, const std::string& S) override {
        TObject* o = Objects(Index);
        Delete(Index);
        Insert(Index, S);
        PutObject(Index, o);
    }
    void Delete(int Index) override { FControl.Perform(FC.Delete, static_cast<WPARAM>(Index), 0); }
    void Clear() override { FControl.Perform(FC.Reset, 0, 0); }
    int IndexOf(const std::string& S) const override {
        return static_cast<int>(
            FControl.Perform(FC.Find, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(S.c_str())));
    }

private:
    TWinControl& FControl;
    Codes FC;
};

const char* StrOf(LPARAM L) {
    return L ? reinterpret_cast<const char*>(L) : "";
}

// Answers the messages that only read the items or tag them with data, the same for list and
// combo boxes; false for any other message.
bool AnswerItemQuery(TListItems& List, TMessage& M, const TListCodes& C) {
    auto index = static_cast<intptr_t>(M.WParam);
    if (M.Msg == C.Count) {
        M.Result = List.Count();
    } else if (M.Msg == C.TextLen) {
        M.Result = List.Valid(index) ? static_cast<LRESULT>(List.Items[M.WParam].Text.size()) : C.Error;
    } else if (M.Msg == C.Text) {
        if (!List.Valid(index)) {
            M.Result = C.Error;
        } else {
            const std::string& t = List.Items[M.WParam].Text;
            if (M.LParam) std::memcpy(reinterpret_cast<char*>(M.LParam), t.c_str(), t.size() + 1);
            M.Result = static_cast<LRESULT>(t.size());
        }
    } else if (M.Msg == C.GetData) {
        M.Result = List.Valid(index) ? static_cast<LRESULT>(List.Items[M.WParam].Data) : C.Error;
    } else if (M.Msg == C.SetData) {
        if (List.Valid(index)) List.Items[M.WParam].Data = static_cast<uintptr_t>(M.LParam);
        M.Result = List.Valid(index) ? 0 : C.Error;
    } else if (M.Msg == C.Find || M.Msg == C.FindPrefix) {
        M.Result = List.Find(StrOf(M.LParam), index, M.Msg == C.Find);
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool DispatchItemMessage(TListItems& List, int& ItemIndex, int ItemHeight, const TListCodes& C,
                         TItemListOwner& Owner, TMessage& M) {
    auto insertAt = [&](int At, const char* S) -> LRESULT {
        if (At < 0 || At > List.Count()) return C.Error;
        List.Items.insert(List.Items.begin() + At, TListItems::Item{S, 0, ItemHeight});
        if (ItemIndex >= At) ++ItemIndex;
        Owner.ItemInserted(At);
        return At;
    };
    if (AnswerItemQuery(List, M, C)) return true;
    if (M.Msg == C.Add) {
        const char* s = StrOf(M.LParam);
        M.Result = insertAt(List.Sorted ? List.SortedIndex(s) : List.Count(), s);
    } else if (M.Msg == C.Insert) {
        auto at = static_cast<intptr_t>(M.WParam);
        M.Result = insertAt(at == -1 ? List.Count() : static_cast<int>(at), StrOf(M.LParam));
    } else if (M.Msg == C.Delete) {
        auto i = static_cast<intptr_t>(M.WParam);
        if (!List.Valid(i)) {
            M.Result = C.Error;
            return true;
        }
        List.Items.erase(List.Items.begin() + i);
        if (ItemIndex == i)
            ItemIndex = -1;
        else if (ItemIndex > i)
            --ItemIndex;
        Owner.ItemDeleted(static_cast<int>(i));
        M.Result = List.Count();
    } else if (M.Msg == C.Reset) {
        List.Items.clear();
        ItemIndex = -1;
        Owner.ItemsCleared();
    } else if (M.Msg == C.Select) {
        int i = List.Find(StrOf(M.LParam), static_cast<intptr_t>(M.WParam), false);
        if (i >= 0) Owner.SelectItem(i);
        M.Result = i;
    } else if (M.Msg == C.SetCurSel) {
        auto i = static_cast<intptr_t>(M.WParam);
        Owner.SelectItem(List.Valid(i) ? static_cast<int>(i) : -1);
        M.Result = List.Valid(i) ? i : C.Error;
    } else if (M.Msg == C.GetCurSel) {
        M.Result = ItemIndex;
    } else {
        return false;
    }
    return true;
}

std::unique_ptr<TStrings> MakeListMessageStrings(TWinControl& Control, const TListCodes& C) {
    return std::make_unique<TListMessageStrings>(Control, C);
}

void NotifyParent(TWinControl& Control, UINT Code) {
    if (!Control.HandleAllocated() || !Control.Parent() || !Control.Parent()->HandleAllocated()) {
        // Without windows the notice goes straight to the control, as the parent would reflect it.
        Control.Perform(CN_COMMAND, MakeWParam(0, static_cast<int>(Code)), 0);
        return;
    }
    SendMessage(Control.Parent()->Handle(), WM_COMMAND, MakeWParam(0, static_cast<int>(Code)),
                static_cast<LPARAM>(Control.Handle()));
}

}  // namespace framework
