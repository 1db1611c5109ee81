#pragma once
// String lists: TStrings, the abstract list of lines that controls and components expose, and
// TStringList, the list that stores them.
//
// Every line carries an object pointer besides its text (null unless set); the list never owns
// those objects. Lines are Windows-1252 byte strings.
//
// Text: lines joined with CR LF after each line. Setting Text splits at CR LF, LF or CR; a final
// line break adds no empty line.
// Name=value lines: Names(i) is the text before the first "=", Values(Name) the text after it on
// the first line whose name matches (compared as the list compares strings).
// CommaText: lines separated by commas; a line holding a blank, a control character, a comma or a
// double quote is written in double quotes with inner quotes doubled. Reading also takes blanks
// as separators, except inside quotes.

#include <functional>
#include <string>
#include <vector>

#include "framework/core/List.h"
#include "framework/core/Persistent.h"

namespace framework {

class TStream;
class TStringList;

class TStrings : public TPersistent {
public:
    ~TStrings() override = default;

    virtual int Count() const = 0;
    std::string Strings(int Index) const { return Get(Index); }
    std::string operator[](int Index) const { return Get(Index); }
    virtual std::string Get(int Index) const = 0;
    // Replaces the text of a line and keeps its object.
    virtual void Put(int Index, const std::string& S);
    virtual TObject* Objects(int Index) const;
    virtual void PutObject(int Index, TObject* AObject);

    virtual int Add(const std::string& S);
    virtual int AddObject(const std::string& S, TObject* AObject);
    virtual void Insert(int Index, const std::string& S) = 0;
    void InsertObject(int Index, const std::string& S, TObject* AObject);
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    virtual void Exchange(int Index1, int Index2);
    virtual void Move(int CurIndex, int NewIndex);
    void AddStrings(TStrings* Strings);
    // From another TStrings: the lines and their objects replace these ones.
    void Assign(TPersistent* Source) override;

    virtual int IndexOf(const std::string& S) const;
    int IndexOfName(const std::string& Name) const;
    int IndexOfObject(TObject* AObject) const;

    std::string Names(int Index) const;
    std::string Values(const std::string& Name) const;
    // An empty value deletes the line of that name; a new name adds a line at the end.
    void SetValue(const std::string& Name, const std::string& Value);
    // The text after the first "=" of line Index ("" when the line has no "=").
    std::string ValueFromIndex(int Index) const;
    void SetValueFromIndex(int Index, const std::string& Value);

    virtual std::string Text() const;
    virtual void SetText(const std::string& Value);
    std::string CommaText() const;
    void SetCommaText(const std::string& Value);

    // While updates are open, OnChanging/OnChange of a string list fire once: at the first
    // BeginUpdate and at the last EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // The rest of the stream (from its position) read as Text; Text written at the position.
    virtual void LoadFromStream(TStream* Stream);
    virtual void SaveToStream(TStream* Stream) const;
    // Raise EFOpenError / EFCreateError when the file cannot be opened or created.
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName) const;

    // How lines compare in IndexOf and IndexOfName: here, without regard to case.
    virtual int CompareStrings(const std::string& S1, const std::string& S2) const;

protected:
    virtual void SetUpdateState(bool Updating);
    [[noreturn]] static void Error(const char* Msg, int Data);

private:
    int FUpdateCount = 0;
};

// Compares two lines of List; the sort order of CustomSort.
using TStringListSortCompare = std::function<int(TStringList* List, int Index1, int Index2)>;

class TStringList : public TStrings {
public:
    TStringList() = default;
    ~TStringList() override = default;

    int Count() const override { return static_cast<int>(FItems.size()); }
    std::string Get(int Index) const override;
    // Not allowed on a sorted list (EStringListError "Operation not allowed on sorted list").
    void Put(int Index, const std::string& S) override;
    TObject* Objects(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;

    // On a sorted list the line goes where it sorts; an equal line already there is kept alone
    // (dupIgnore: the existing index is returned), added before it (dupAccept) or refused
    // (dupError: EStringListError "String list does not allow duplicates").
    int Add(const std::string& S) override;
    int AddObject(const std::string& S, TObject* AObject) override;
    // Not allowed on a sorted list.
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;
    void Exchange(int Index1, int Index2) override;
    // Not allowed on a sorted list.
    void Move(int CurIndex, int NewIndex) override;

    // Binary search over a sorted list. True when S is found; Index is then its position (the
    // first of equal lines when duplicates are accepted), otherwise the position where S would be
    // inserted. On an unsorted list the result is meaningless.
    virtual bool Find(const std::string& S, int& Index) const;
    int IndexOf(const std::string& S) const override;
    // Sorts an unsorted list with CompareStrings (does nothing on a sorted one, which is kept in
    // order anyway).
    virtual void Sort();
    // Sorts an unsorted list by Compare (quicksort, not stable).
    virtual void CustomSort(const TStringListSortCompare& Compare);

    bool Sorted() const { return FSorted; }
    // Turning Sorted on sorts the lines.
    void SetSorted(bool Value);
    TDuplicates Duplicates = dupIgnore;
    bool CaseSensitive() const { return FCaseSensitive; }
    // Re-sorts a sorted list by the new comparison.
    void SetCaseSensitive(bool Value);

    // Case-sensitive lists compare with AnsiCompareStr, the others with AnsiCompareText.
    int CompareStrings(const std::string& S1, const std::string& S2) const override;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    virtual void Changed();
    virtual void Changing();
    void SetUpdateState(bool Updating) override;
    void InsertItem(int Index, const std::string& S, TObject* AObject);
    void ExchangeItems(int Index1, int Index2);

private:
    struct Item {
        std::string text;
        TObject* object = nullptr;
    };
    void CheckIndex(int Index) const;
    void CheckUnsorted() const;

    std::vector<Item> FItems;
    bool FSorted = false;
    bool FCaseSensitive = false;
};

}  // namespace framework
