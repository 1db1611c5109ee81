#include "framework/core/Strings.h"

#include <utility>

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/core/SysUtils.h"

namespace framework {

// ---- TStrings -----------------------------------------------------------------------------------

void TStrings::Error(const char* Msg, int Data) {
    std::string text = Msg;
    if (auto at = text.find("%d"); at != std::string::npos) text.replace(at, 2, std::to_string(Data));
    throw EStringListError(text);
}

void TStrings::Put(int Index, const std::string& S) {
    TObject* object = Objects(Index);
    Delete(Index);
    InsertObject(Index, S, object);
}

TObject* TStrings::Objects(int) const {
    return nullptr;
}

void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::string& S) {
    int index = Count();
    Insert(index, S);
    return index;
}

int TStrings::AddObject(const std::string& S, TObject* AObject) {
    int index = Add(S);
    PutObject(index, AObject);
    return index;
}

void TStrings::InsertObject(int Index, const std::string& S, TObject* AObject) {
    Insert(Index, S);
    PutObject(Index, AObject);
}

void TStrings::Exchange(int Index1, int Index2) {
    BeginUpdate();
    try {
        std::string s = Get(Index1);
        TObject* o = Objects(Index1);
        Put(Index1, Get(Index2));
        PutObject(Index1, Objects(Index2));
        Put(Index2, s);
        PutObject(Index2, o);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    BeginUpdate();
    try {
        std::string s = Get(CurIndex);
        TObject* o = Objects(CurIndex);
        Delete(CurIndex);
        InsertObject(NewIndex, s, o);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::AddStrings(TStrings* Strings) {
    if (Strings == nullptr) return;
    BeginUpdate();
    try {
        // Count is read once: adding a list to itself doubles it and stops.
        int count = Strings->Count();
        for (int i = 0; i < count; ++i) AddObject(Strings->Get(i), Strings->Objects(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Assign(TPersistent* Source) {
    auto* source = dynamic_cast<TStrings*>(Source);
    if (source == nullptr) {
        TPersistent::Assign(Source);
        return;
    }
    if (source == this) return;
    BeginUpdate();
    try {
        Clear();
        AddStrings(source);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TStrings::CompareStrings(const std::string& S1, const std::string& S2) const {
    return AnsiCompareText(S1, S2);
}

int TStrings::IndexOf(const std::string& S) const {
    for (int i = 0, n = Count(); i < n; ++i)
        if (CompareStrings(Get(i), S) == 0) return i;
    return -1;
}

int TStrings::IndexOfName(const std::string& Name) const {
    for (int i = 0, n = Count(); i < n; ++i) {
        std::string line = Get(i);
        auto eq = line.find('=');
        if (eq != std::string::npos && CompareStrings(line.substr(0, eq), Name) == 0) return i;
    }
    return -1;
}

int TStrings::IndexOfObject(TObject* AObject) const {
    for (int i = 0, n = Count(); i < n; ++i)
        if (Objects(i) == AObject) return i;
    return -1;
}

std::string TStrings::Names(int Index) const {
    std::string line = Get(Index);
    auto eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TStrings::Values(const std::string& Name) const {
    int index = IndexOfName(Name);
    return index < 0 ? std::string() : ValueFromIndex(index);
}

void TStrings::SetValue(const std::string& Name, const std::string& Value) {
    int index = IndexOfName(Name);
    if (!Value.empty()) {
        if (index < 0) index = Add("");
        Put(index, Name + "=" + Value);
    } else if (index >= 0) {
        Delete(index);
    }
}

std::string TStrings::ValueFromIndex(int Index) const {
    std::string line = Get(Index);
    auto eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

void TStrings::SetValueFromIndex(int Index, const std::string& Value) {
    if (!Value.empty()) {
        if (Index < 0) Index = Add("");
        Put(Index, Names(Index) + "=" + Value);
    } else if (Index >= 0) {
        Delete(Index);
    }
}

std::string TStrings::Text() const {
    std::string text;
    for (int i = 0, n = Count(); i < n; ++i) {
        text += Get(i);
        text += "\r\n";
    }
    return text;
}

void TStrings::SetText(const std::string& Value) {
    BeginUpdate();
    try {
        Clear();
        size_t pos = 0, n = Value.size();
        while (pos < n) {
            size_t end = Value.find_first_of("\r\n", pos);
            if (end == std::string::npos) end = n;
            Add(Value.substr(pos, end - pos));
            pos = end;
            if (pos < n && Value[pos] == '\r') ++pos;
            if (pos < n && Value[pos] == '\n') ++pos;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::string TStrings::CommaText() const {
    int count = Count();
    if (count == 1 && Get(0).empty()) return "\"\"";
    std::string result;
    for (int i = 0; i < count; ++i) {
        std::string line = Get(i);
        bool quote = false;
        for (char c : line)
            if (IsBlank(c) || c == ',' || c == '"') quote = true;
        if (i > 0) result += ',';
        if (quote) {
            result += '"';
            for (char c : line) {
                if (c == '"') result += '"';
                result += c;
            }
            result += '"';
        } else {
            result += line;
        }
    }
    return result;
}

void TStrings::SetCommaText(const std::string& Value) {
    BeginUpdate();
    try {
        Clear();
        size_t pos = 0, n = Value.size();
        auto skipBlanks = [&] {
            while (pos < n && IsBlank(Value[pos])) ++pos;
        };
        skipBlanks();
        while (pos < n) {
            std::string item;
            if (Value[pos] == '"') {
                // A quoted item: "" inside stands for one quote; a missing closing quote takes the rest.
                ++pos;
                while (pos < n) {
                    if (Value[pos] == '"') {
                        if (pos + 1 < n && Value[pos + 1] == '"') {
                            item += '"';
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    item += Value[pos++];
                }
            } else {
                size_t start = pos;
                while (pos < n && !IsBlank(Value[pos]) && Value[pos] != ',') ++pos;
                item = Value.substr(start, pos - start);
            }
            Add(item);
            skipBlanks();
            if (pos < n && Value[pos] == ',') {
                ++pos;
                if (pos == n) Add("");  // a trailing comma ends with an empty item
                skipBlanks();
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::LoadFromStream(TStream* Stream) {
    BeginUpdate();
    try {
        int64_t size = Stream->Size() - Stream->Position();
        std::string text;
        if (size > 0) {
            if (size > INT32_MAX) throw EReadError("Stream read error");
            text.resize(static_cast<size_t>(size));
            text.resize(static_cast<size_t>(Stream->Read(text.data(), static_cast<int32_t>(size))));
        }
        SetText(text);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::SaveToStream(TStream* Stream) const {
    std::string text = Text();
    if (text.size() > INT32_MAX) throw EWriteError("Stream write error");
    Stream->WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0) SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount == 0) return;
    --FUpdateCount;
    if (FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

// ---- TStringList --------------------------------------------------------------------------------

void TStringList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
}

void TStringList::CheckUnsorted() const {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::SetUpdateState(bool Updating) {
    if (Updating) {
        Changing();
    } else {
        Changed();
    }
}

std::string TStringList::Get(int Index) const {
    CheckIndex(Index);
    return FItems[static_cast<size_t>(Index)].text;
}

void TStringList::Put(int Index, const std::string& S) {
    CheckUnsorted();
    CheckIndex(Index);
    Changing();
    FItems[static_cast<size_t>(Index)].text = S;
    Changed();
}

TObject* TStringList::Objects(int Index) const {
    CheckIndex(Index);
    return FItems[static_cast<size_t>(Index)].object;
}

void TStringList::PutObject(int Index, TObject* AObject) {
    CheckIndex(Index);
    Changing();
    FItems[static_cast<size_t>(Index)].object = AObject;
    Changed();
}

int TStringList::Add(const std::string& S) {
    return AddObject(S, nullptr);
}

int TStringList::AddObject(const std::string& S, TObject* AObject) {
    int index = Count();
    if (FSorted && Find(S, index)) {
        switch (Duplicates) {
            case dupIgnore:
                return index;
            case dupError:
                throw EStringListError("String list does not allow duplicates");
            case dupAccept:
                break;
        }
    }
    InsertItem(index, S, AObject);
    return index;
}

void TStringList::Insert(int Index, const std::string& S) {
    CheckUnsorted();
    if (Index < 0 || Index > Count()) Error("List index out of bounds (%d)", Index);
    InsertItem(Index, S, nullptr);
}

void TStringList::InsertItem(int Index, const std::string& S, TObject* AObject) {
    Changing();
    FItems.insert(FItems.begin() + Index, Item{S, AObject});
    Changed();
}

void TStringList::Delete(int Index) {
    CheckIndex(Index);
    Changing();
    FItems.erase(FItems.begin() + Index);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty()) return;
    Changing();
    FItems.clear();
    Changed();
}

void TStringList::ExchangeItems(int Index1, int Index2) {
    std::swap(FItems[static_cast<size_t>(Index1)], FItems[static_cast<size_t>(Index2)]);
}

void TStringList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    Changing();
    ExchangeItems(Index1, Index2);
    Changed();
}

void TStringList::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    // Checked before anything changes, so a refused move loses no line.
    CheckUnsorted();
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    Changing();
    Item item = std::move(FItems[static_cast<size_t>(CurIndex)]);
    FItems.erase(FItems.begin() + CurIndex);
    FItems.insert(FItems.begin() + NewIndex, std::move(item));
    Changed();
}

bool TStringList::Find(const std::string& S, int& Index) const {
    bool found = false;
    int low = 0, high = Count() - 1;
    while (low <= high) {
        int middle = (low + high) / 2;
        int c = CompareStrings(FItems[static_cast<size_t>(middle)].text, S);
        if (c < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != dupAccept) low = middle;
            }
        }
    }
    Index = low;
    return found;
}

int TStringList::IndexOf(const std::string& S) const {
    if (!FSorted) return TStrings::IndexOf(S);
    int index = 0;
    return Find(S, index) ? index : -1;
}

int TStringList::CompareStrings(const std::string& S1, const std::string& S2) const {
    return FCaseSensitive ? AnsiCompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
    if (FSorted || Count() < 2) return;
    Changing();
    QuickSortIndexes(
        0, Count() - 1, [&](int a, int b) { return Compare(this, a, b); },
        [&](int a, int b) { ExchangeItems(a, b); });
    Changed();
}

void TStringList::Sort() {
    CustomSort([](TStringList* List, int a, int b) {
        return List->CompareStrings(List->FItems[static_cast<size_t>(a)].text,
                                    List->FItems[static_cast<size_t>(b)].text);
    });
}

void TStringList::SetSorted(bool Value) {
    if (FSorted == Value) return;
    if (Value) Sort();
    FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
    if (FCaseSensitive == Value) return;
    FCaseSensitive = Value;
    if (FSorted) {
        // Sort does nothing on a sorted list: drop the flag for the time of the sort.
        FSorted = false;
        Sort();
        FSorted = true;
    }
}

}  // namespace framework
