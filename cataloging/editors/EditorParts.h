#pragma once
// Pieces the comment and category editors share: buttons, message boxes, the progress window and
// the hourglass for a scope, text measurement and the entry fields of a catalog's file table.

#include <functional>
#include <initializer_list>
#include <string>

#include "framework/stdctrls/Buttons.h"
#include "framework/ui/Forms.h"

namespace framework {
class TDataSet;
class TControl;
class TLabel;
}  // namespace framework

namespace entry {
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry

namespace cataloging {

// The window's state (placement and, by default, size) kept in the registry section Section: the
// store (returned in Store) and the form state, both owned by Form.
entry::TCtlFormState* NewRegistryFormState(framework::TCustomForm& Form, const char* Section,
                                           entry::TCtlRegistryStore*& Store);
// A plain button on the form running Click.
framework::TBitBtn* NewEditorButton(framework::TCustomForm& Form, const char* Name, const char* Caption,
                                    int Left, int Top, int Width, std::function<void()> Click);
// The text's width and height in FontOf's font, measured on the (hidden) label Measure.
int EditorTextWidth(framework::TLabel& Measure, framework::TControl& FontOf, const std::string& Text);
int EditorTextHeight(framework::TLabel& Measure, framework::TControl& FontOf, const std::string& Text);

// Persistent fields of the named stored fields, typed as the table's field definitions say, and
// the category description looked up in Categories (when given) by CategoryCode.
template <size_t N>
void AddCatalogEntryFields(framework::TDataSet& Table, const char* const (&Names)[N],
                           framework::TDataSet* Categories);
void AddCatalogEntryFieldList(framework::TDataSet& Table, const char* const* Names, size_t Count,
                              framework::TDataSet* Categories);
template <size_t N>
void AddCatalogEntryFields(framework::TDataSet& Table, const char* const (&Names)[N],
                           framework::TDataSet* Categories) {
    AddCatalogEntryFieldList(Table, Names, N, Categories);
}

// The shared progress window (with a Cancel button unless Cancellable is false) for the life of a scope.
class TEditorProgress {
public:
    explicit TEditorProgress(const std::string& Caption, bool Cancellable = true);
    ~TEditorProgress();
    TEditorProgress(const TEditorProgress&) = delete;
    TEditorProgress& operator=(const TEditorProgress&) = delete;
    static void Show(int Percent);
    static bool Cancelled();
};

// The hourglass cursor for the life of a scope.
class TEditorHourglass {
public:
    TEditorHourglass();
    ~TEditorHourglass();
    TEditorHourglass(const TEditorHourglass&) = delete;
    TEditorHourglass& operator=(const TEditorHourglass&) = delete;

private:
    framework::TCursor FSaved;
};

}  // namespace cataloging
