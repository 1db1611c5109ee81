#include "framework/stdctrls/TypInfo.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>

#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/Forms.h"

namespace framework {

namespace {

struct TRegistration {
    int Depth;
    std::function<bool(TObject*)> Accepts;
    std::vector<TPropInfo> Props;
};

void RegisterFrameworkClasses();

std::vector<TRegistration>& Storage() {
    static std::vector<TRegistration> storage;
    return storage;
}

// The registrations, the framework's own made on first use.
std::vector<TRegistration>& Registry() {
    static bool once = [] {
        RegisterFrameworkClasses();
        return true;
    }();
    (void)once;
    return Storage();
}

std::string TrimText(const std::string& S) {
    size_t a = 0, b = S.size();
    while (a < b && static_cast<unsigned char>(S[a]) <= ' ') ++a;
    while (b > a && static_cast<unsigned char>(S[b - 1]) <= ' ') --b;
    return S.substr(a, b - a);
}

bool ParseInt(const std::string& S, int64_t& V) {
    std::string t = TrimText(S);
    if (t.empty()) return false;
    // "$" introduces hexadecimal, as in the class library's text of numbers and colours.
    if (t[0] == '$' || (t[0] == '-' && t.size() > 1 && t[1] == '$')) {
        bool neg = t[0] == '-';
        std::string hex = t.substr(neg ? 2 : 1);
        uint64_t u = 0;
        auto [p, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), u, 16);
        if (ec != std::errc() || p != hex.data() + hex.size()) return false;
        V = neg ? -static_cast<int64_t>(u) : static_cast<int64_t>(u);
        return true;
    }
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), V);
    return ec == std::errc() && p == t.data() + t.size();
}

// General format with the digits each precision holds.
std::string FloatText(TFloatType Type, long double V) {
    switch (Type) {
        case ftSingle:
            return FloatToStrF(static_cast<double>(static_cast<float>(V)), ffGeneral, 7, 0);
        case ftDouble:
            return FloatToStrF(static_cast<double>(V), ffGeneral, 15, 0);
        case ftCurr:
            // Every digit of the amount: its raw value is a whole number of ten-thousandths.
            if (std::fabs(V) < 922337203685477.0L)
                return CurrToStr(Currency::FromRaw(std::llround(V * 10000)));
            return ExtendedToStrF(V, ffGeneral, 18, 0);
        case ftExtended:
        case ftComp:
            break;
    }
    return ExtendedToStrF(V, ffGeneral, 18, 0);
}

// Whether a value read from text can be stored in a property of that precision without overflow.
bool FitsFloatType(TFloatType Type, long double V) {
    switch (Type) {
        case ftSingle:
            return std::fabs(V) <= std::numeric_limits<float>::max();
        case ftDouble:
            return std::fabs(V) <= std::numeric_limits<double>::max();
        case ftComp:
            return std::fabs(V) < 9.2e18L;
        case ftCurr:
            return std::fabs(V) < 922337203685477.0L;
        case ftExtended:
            break;
    }
    return true;
}

// "Name[12]" is Name and item 12; a part without brackets has Index -1. Returns false for
// brackets that do not hold a whole number.
bool SplitIndex(const std::string& Part, std::string& Name, int& Index) {
    Index = -1;
    size_t open = Part.find('[');
    if (open == std::string::npos) {
        Name = Part;
        return true;
    }
    Name = TrimText(Part.substr(0, open));
    if (Part.back() != ']') return false;
    std::string digits = TrimText(Part.substr(open + 1, Part.size() - open - 2));
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), Index);
    return !digits.empty() && ec == std::errc() && p == digits.data() + digits.size() && Index >= 0;
}

}  // namespace

void RegisterProperties(int Depth, std::function<bool(TObject*)> Accepts, std::vector<TPropInfo> Props) {
    Storage().push_back(TRegistration{Depth, std::move(Accepts), std::move(Props)});
}

std::vector<const TPropInfo*> GetPropList(TObject* Instance) {
    std::map<std::string, std::pair<int, const TPropInfo*>> found;  // upper-case name -> depth, prop
    if (!Instance) return {};
    for (const TRegistration& r : Registry()) {
        if (!r.Accepts(Instance)) continue;
        for (const TPropInfo& p : r.Props) {
            std::string key = UpperCase(p.Name);
            auto it = found.find(key);
            if (it == found.end() || it->second.first <= r.Depth) found[key] = {r.Depth, &p};
        }
    }
    std::vector<const TPropInfo*> list;
    for (auto& [k, v] : found) list.push_back(v.second);
    return list;
}

std::vector<const TPropInfo*> GetPropList(TObject* Instance, TTypeKinds Kinds) {
    std::vector<const TPropInfo*> list;
    for (const TPropInfo* p : GetPropList(Instance))
        if (Kinds & TypeKind(p->Kind)) list.push_back(p);
    return list;
}

const TPropInfo* GetPropInfo(TObject* Instance, const std::string& Name) {
    for (const TPropInfo* p : GetPropList(Instance))
        if (CompareText(p->Name, Name) == 0) return p;
    return nullptr;
}

std::string GetPropText(TObject* Instance, const TPropInfo& Prop) {
    switch (Prop.Kind) {
        case tkInteger:
            return std::to_string(Prop.GetOrd(Instance));
        case tkChar:
        case tkWChar: {
            int64_t c = Prop.GetOrd(Instance);
            return std::string(1, static_cast<char>(c & 0xFF));
        }
        case tkEnumeration: {
            int64_t v = Prop.GetOrd(Instance);
            if (v >= 0 && v < static_cast<int64_t>(Prop.Names.size()))
                return Prop.Names[static_cast<size_t>(v)];
            return std::to_string(v);
        }
        case tkSet: {
            auto bits = static_cast<uint64_t>(Prop.GetOrd(Instance));
            std::string r = "[";
            bool first = true;
            for (size_t i = 0; i < Prop.Names.size() && i < 32; ++i)
                if (bits & (uint64_t{1} << i)) {
                    if (!first) r += ",";
                    r += Prop.Names[i];
                    first = false;
                }
            return r + "]";
        }
        case tkFloat:
            return FloatText(Prop.FloatType, Prop.GetFloat(Instance));
        case tkString:
        case tkLString:
        case tkVariant:
            return Prop.GetStr(Instance);
        default:
            return "";
    }
}

bool SetPropText(TObject* Instance, const TPropInfo& Prop, const std::string& Text) {
    switch (Prop.Kind) {
        case tkInteger: {
            int64_t v;
            if (!ParseInt(Text, v)) return false;
            Prop.SetOrd(Instance, v);
            return true;
        }
        case tkChar:
        case tkWChar:
            Prop.SetOrd(Instance, Text.empty() ? 0 : static_cast<unsigned char>(Text[0]));
            return true;
        case tkEnumeration: {
            std::string t = TrimText(Text);
            for (size_t i = 0; i < Prop.Names.size(); ++i)
                if (CompareText(Prop.Names[i], t) == 0) {
                    Prop.SetOrd(Instance, static_cast<int64_t>(i));
                    return true;
                }
            return false;
        }
        case tkSet: {
            uint64_t bits = 0;
            std::string word;
            auto flush = [&] {
                for (size_t i = 0; i < Prop.Names.size() && i < 32; ++i)
                    if (!word.empty() && CompareText(Prop.Names[i], word) == 0) bits |= uint64_t{1} << i;
                word.clear();
            };
            for (char c : Text) {
                if (c == ' ' || c == ',' || c == '[' || c == ']')
                    flush();
                else
                    word += c;
            }
            flush();
            Prop.SetOrd(Instance, static_cast<int64_t>(bits));
            return true;
        }
        case tkFloat: {
            long double d;
            if (!TextToExtended(TrimText(Text), d) || !FitsFloatType(Prop.FloatType, d)) return false;
            Prop.SetFloat(Instance, d);
            return true;
        }
        case tkString:
        case tkLString:
        case tkVariant:
            Prop.SetStr(Instance, Text);
            return true;
        case tkClass:
            if (auto* s = dynamic_cast<TStrings*>(Prop.GetObject(Instance))) {
                s->SetText(Text);
                return true;
            }
            return false;
        default:
            return false;
    }
}

TObject* ResolvePropertyPath(TComponent* Root, const std::string& Path, const TPropInfo*& Prop) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t dot = Path.find('.', start);
        parts.push_back(
            TrimText(Path.substr(start, dot == std::string::npos ? std::string::npos : dot - start)));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    TObject* obj = Root;
    size_t i = 0;
    if (parts.size() > 1 && Root) {
        if (TComponent* c = Root->FindComponent(parts[0])) {
            obj = c;
            i = 1;
        }
    }
    for (; i < parts.size(); ++i) {
        std::string name;
        int index;
        if (!SplitIndex(parts[i], name, index))
            throw EPropertyError("Property " + parts[i] + " does not exist");
        const TPropInfo* p = GetPropInfo(obj, name);
        if (!p) throw EPropertyError("Property " + name + " does not exist");
        if (index >= 0) {
            // An item of a collection; a property of the item must follow.
            if (!p->IsCollection()) throw EPropertyError("Property " + name + " is not a collection");
            if (index >= p->GetItemCount(obj))
                throw EPropertyError("List index out of bounds (" + std::to_string(index) + ")");
            if (i + 1 == parts.size()) throw EPropertyError("Property " + Path + " does not exist");
            obj = p->GetItem(obj, index);
            continue;
        }
        if (i + 1 == parts.size()) {
            Prop = p;
            return obj;
        }
        if (p->Kind != tkClass || !p->GetObject)
            throw EPropertyError("Property " + parts[i + 1] + " does not exist");
        obj = p->GetObject(obj);
        if (!obj) throw EPropertyError("Property " + parts[i] + " is not assigned");
    }
    throw EPropertyError("Property " + Path + " does not exist");
}

std::vector<TPropertyRef> GetPropertyList(TObject* Instance, const std::string& Prefix) {
    std::vector<TPropertyRef> list, items;
    for (const TPropInfo* p : GetPropList(Instance, tkProperties)) {
        std::string path = Prefix.empty() ? p->Name : Prefix + "." + p->Name;
        if (!p->IsCollection()) {
            list.push_back({path, Instance, p});
            continue;
        }
        const int count = p->GetItemCount(Instance);
        for (int i = 0; i < count; ++i)
            for (TPropertyRef& r :
                 GetPropertyList(p->GetItem(Instance, i), path + "[" + std::to_string(i) + "]"))
                items.push_back(std::move(r));
    }
    list.insert(list.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
    return list;
}

std::string GetPropertyPath(TComponent* Root, const std::string& Path) {
    const TPropInfo* p = nullptr;
    TObject* o = ResolvePropertyPath(Root, Path, p);
    if (p->Kind == tkClass)
        if (auto* s = dynamic_cast<TStrings*>(p->GetObject(o))) return s->Text();
    return GetPropText(o, *p);
}

void SetPropertyPath(TComponent* Root, const std::string& Path, const std::string& Value) {
    const TPropInfo* p = nullptr;
    TObject* o = ResolvePropertyPath(Root, Path, p);
    if (!SetPropText(o, *p, Value)) throw EPropertyError("Invalid property value: " + Value);
}

// ---------------------------------------------------------------------------------------------
// The framework's classes

namespace {

const std::vector<std::string> kAlignNames{"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
const std::vector<std::string> kAlignmentNames{"taLeftJustify", "taRightJustify", "taCenter"};
const std::vector<std::string> kBevelNames{"bvNone", "bvLowered", "bvRaised", "bvSpace"};
const std::vector<std::string> kBorderStyleNames{"bsNone",   "bsSingle",     "bsSizeable",
                                                 "bsDialog", "bsToolWindow", "bsSizeToolWin"};

// Depths: TObject-level classes 0, TComponent 1, TControl 2, TWinControl 3, then one per level.
void RegisterFrameworkClasses() {
    RegisterPublished<TFont>(
        0, {
               IntField<TFont, TColor>("Color", &TFont::Color),
               IntProp<TFont, int>("Height", &TFont::Height, &TFont::SetHeight),
               StrField<TFont>("Name", &TFont::Name),
               IntProp<TFont, int>("Size", &TFont::Size, &TFont::SetSize),
               IntField<TFont, TFontCharset>("Charset", &TFont::Charset),
               EnumField<TFont, TFontPitch>("Pitch", {"fpDefault", "fpVariable", "fpFixed"}, &TFont::Pitch),
               [] {
                   TPropInfo p = IntField<TFont, TFontStyles>("Style", &TFont::Style);
                   p.Kind = tkSet;
                   p.Names = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
                   return p;
               }(),
           });
    {
        TPropInfo name;
        name.Name = "Name";
        name.Kind = tkLString;
        name.GetStr = [](TObject* o) { return static_cast<TComponent*>(o)->Name(); };
        name.SetStr = [](TObject* o, const std::string& v) { static_cast<TComponent*>(o)->SetName(v); };
        RegisterPublished<TComponent>(1, {name, IntField<TComponent, intptr_t>("Tag", &TComponent::Tag)});
    }
    {
        TPropInfo anchors;
        anchors.Name = "Anchors";
        anchors.Kind = tkSet;
        anchors.Names = {"akLeft", "akTop", "akRight", "akBottom"};
        anchors.GetOrd = [](TObject* o) {
            return static_cast<int64_t>(static_cast<TControl*>(o)->Anchors());
        };
        anchors.SetOrd = [](TObject* o, int64_t v) {
            static_cast<TControl*>(o)->SetAnchors(static_cast<TAnchors>(v));
        };
        TPropInfo hint = StrField<TControl>("Hint", &TControl::Hint);
        RegisterPublished<TControl>(
            2, {
                   IntProp<TControl, int>("Left", &TControl::Left, &TControl::SetLeft),
                   IntProp<TControl, int>("Top", &TControl::Top, &TControl::SetTop),
                   IntProp<TControl, int>("Width", &TControl::Width, &TControl::SetWidth),
                   IntProp<TControl, int>("Height", &TControl::Height, &TControl::SetHeight),
                   BoolProp<TControl>("Visible", &TControl::Visible, &TControl::SetVisible),
                   BoolProp<TControl>("Enabled", &TControl::Enabled, &TControl::SetEnabled),
                   IntProp<TControl, TColor>("Color", &TControl::Color, &TControl::SetColor),
                   BoolProp<TControl>("ParentFont", &TControl::ParentFont, &TControl::SetParentFont),
                   BoolProp<TControl>("ParentColor", &TControl::ParentColor, &TControl::SetParentColor),
                   BoolProp<TControl>("ShowHint", &TControl::ShowHint, &TControl::SetShowHint),
                   IntProp<TControl, TCursor>("Cursor", &TControl::Cursor, &TControl::SetCursor),
                   EnumProp<TControl, TAlign>("Align", kAlignNames, &TControl::Align, &TControl::SetAlign),
                   ObjProp<TControl, TFont>("Font", &TControl::Font),
                   anchors,
                   hint,
               });
    }
    RegisterPublished<TWinControl>(
        3, {
               IntProp<TWinControl, int>("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder),
               BoolProp<TWinControl>("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop),
           });
    auto caption = [] {
        return StrProp<TControl, const std::string&>("Caption", &TControl::Caption, &TControl::SetCaption);
    };
    auto text = [] {
        return StrProp<TControl, const std::string&>("Text", &TControl::Text, &TControl::SetCaption);
    };
    RegisterPublished<TCustomForm>(
        4, {
               caption(),
               EnumProp<TCustomForm, TFormBorderStyle>(
                   "BorderStyle", kBorderStyleNames, &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle),
               BoolField<TCustomForm>("KeyPreview", &TCustomForm::KeyPreview),
               EnumProp<TCustomForm, TWindowState>("WindowState", {"wsNormal", "wsMinimized", "wsMaximized"},
                                                   &TCustomForm::WindowState, &TCustomForm::SetWindowState),
               EnumField<TCustomForm, TPosition>(
                   "Position",
                   {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
                    "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"},
                   &TCustomForm::Position),
           });
    RegisterPublished<TCustomLabel>(
        3,
        {
            caption(),
            EnumProp<TCustomLabel, TAlignment>("Alignment", kAlignmentNames, &TCustomLabel::Alignment,
                                               &TCustomLabel::SetAlignment),
            BoolProp<TCustomLabel>("AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize),
            BoolProp<TCustomLabel>("WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap),
            BoolProp<TCustomLabel>("Transparent", &TCustomLabel::Transparent, &TCustomLabel::SetTransparent),
            BoolProp<TCustomLabel>("ShowAccelChar", &TCustomLabel::ShowAccelChar,
                                   &TCustomLabel::SetShowAccelChar),
            EnumProp<TCustomLabel, TTextLayout>("Layout", {"tlTop", "tlCenter", "tlBottom"},
                                                &TCustomLabel::Layout, &TCustomLabel::SetLayout),
        });
    RegisterPublished<TCustomGroupBox>(5, {caption()});
    RegisterPublished<TCustomPanel>(
        5,
        {
            caption(),
            EnumProp<TCustomPanel, TPanelBevel>("BevelInner", kBevelNames, &TCustomPanel::BevelInner,
                                                &TCustomPanel::SetBevelInner),
            EnumProp<TCustomPanel, TPanelBevel>("BevelOuter", kBevelNames, &TCustomPanel::BevelOuter,
                                                &TCustomPanel::SetBevelOuter),
            IntProp<TCustomPanel, int>("BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth),
            IntProp<TCustomPanel, int>("BorderWidth", &TCustomPanel::BorderWidth,
                                       &TCustomPanel::SetBorderWidth),
            EnumProp<TCustomPanel, TFormBorderStyle>("BorderStyle", {"bsNone", "bsSingle"},
                                                     &TCustomPanel::BorderStyle,
                                                     &TCustomPanel::SetBorderStyle),
            EnumProp<TCustomPanel, TAlignment>("Alignment", kAlignmentNames, &TCustomPanel::Alignment,
                                               &TCustomPanel::SetAlignment),
        });
    RegisterPublished<TBevel>(
        3, {
               EnumProp<TBevel, TBevelShape>(
                   "Shape",
                   {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"},
                   &TBevel::Shape, &TBevel::SetShape),
               EnumProp<TBevel, TBevelStyle>("Style", {"bsLowered", "bsRaised"}, &TBevel::Style,
                                             &TBevel::SetStyle),
           });
    RegisterPublished<TButtonControl>(5, {caption()});
    RegisterPublished<TButton>(6, {
                                      BoolProp<TButton>("Default", &TButton::Default, &TButton::SetDefault),
                                      BoolField<TButton>("Cancel", &TButton::Cancel),
                                      IntField<TButton, TModalResult>("ModalResult", &TButton::ModalResult),
                                  });
    RegisterPublished<TBitBtn>(
        7, {
               EnumProp<TBitBtn, TBitBtnKind>("Kind",
                                              {"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo",
                                               "bkClose", "bkAbort", "bkRetry", "bkIgnore", "bkAll"},
                                              &TBitBtn::Kind, &TBitBtn::SetKind),
           });
    RegisterPublished<TSpeedButton>(
        3,
        {
            StrProp<TControl, const std::string&>("Caption", &TControl::Caption, &TControl::SetCaption),
            IntProp<TSpeedButton, int>("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex),
            BoolProp<TSpeedButton>("Down", &TSpeedButton::Down, &TSpeedButton::SetDown),
            BoolProp<TSpeedButton>("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp),
            BoolField<TSpeedButton>("Flat", &TSpeedButton::Flat),
        });
    RegisterPublished<TCustomCheckBox>(
        6,
        {
            BoolProp<TCustomCheckBox>("Checked", &TCustomCheckBox::Checked, &TCustomCheckBox::SetChecked),
            EnumProp<TCustomCheckBox, TCheckBoxState>("State", {"cbUnchecked", "cbChecked", "cbGrayed"},
                                                      &TCustomCheckBox::State, &TCustomCheckBox::SetState),
            BoolField<TCustomCheckBox>("AllowGrayed", &TCustomCheckBox::AllowGrayed),
            EnumField<TCustomCheckBox, TAlignment>("Alignment", kAlignmentNames, &TCustomCheckBox::Alignment),
        });
    RegisterPublished<TRadioButton>(
        6, {
               BoolProp<TRadioButton>("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked),
           });
    RegisterPublished<TCustomEdit>(
        5, {
               text(),
               IntProp<TCustomEdit, int>("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength),
               EnumProp<TCustomEdit, TEditCharCase>("CharCase", {"ecNormal", "ecUpperCase", "ecLowerCase"},
                                                    &TCustomEdit::CharCase, &TCustomEdit::SetCharCase),
               BoolProp<TCustomEdit>("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly),
               [] {
                   TPropInfo p = IntProp<TCustomEdit, char>("PasswordChar", &TCustomEdit::PasswordChar,
                                                            &TCustomEdit::SetPasswordChar);
                   p.Kind = tkChar;
                   return p;
               }(),
               BoolField<TCustomEdit>("AutoSelect", &TCustomEdit::AutoSelect),
           });
    RegisterPublished<TCustomMemo>(
        6,
        {
            ObjProp<TCustomMemo, TStrings>("Lines", &TCustomMemo::Lines),
            BoolField<TCustomMemo>("WantReturns", &TCustomMemo::WantReturns),
            BoolField<TCustomMemo>("WantTabs", &TCustomMemo::WantTabs),
            BoolField<TCustomMemo>("WordWrap", &TCustomMemo::WordWrap),
            EnumField<TCustomMemo, TScrollStyle>(
                "ScrollBars", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}, &TCustomMemo::ScrollBars),
        });
    RegisterPublished<TCustomListBox>(
        5,
        {
            ObjProp<TCustomListBox, TStrings>("Items", &TCustomListBox::Items),
            IntProp<TCustomListBox, int>("ItemIndex", &TCustomListBox::ItemIndex,
                                         &TCustomListBox::SetItemIndex),
            IntProp<TCustomListBox, int>("ItemHeight", &TCustomListBox::ItemHeight,
                                         &TCustomListBox::SetItemHeight),
            BoolProp<TCustomListBox>("Sorted", &TCustomListBox::Sorted, &TCustomListBox::SetSorted),
            EnumProp<TCustomListBox, TListBoxStyle>("Style",
                                                    {"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable"},
                                                    &TCustomListBox::Style, &TCustomListBox::SetStyle),
            BoolField<TCustomListBox>("MultiSelect", &TCustomListBox::MultiSelect),
            IntProp<TCustomListBox, int>("TabWidth", &TCustomListBox::TabWidth, &TCustomListBox::SetTabWidth),
        });
    RegisterPublished<TCustomComboBox>(
        6, {
               ObjProp<TCustomComboBox, TStrings>("Items", &TCustomComboBox::Items),
               IntProp<TCustomComboBox, int>("ItemIndex", &TCustomComboBox::ItemIndex,
                                             &TCustomComboBox::SetItemIndex),
               IntProp<TCustomComboBox, int>("ItemHeight", &TCustomComboBox::ItemHeight,
                                             &TCustomComboBox::SetItemHeight),
               BoolProp<TCustomComboBox>("Sorted", &TCustomComboBox::Sorted, &TCustomComboBox::SetSorted),
               EnumProp<TCustomComboBox, TComboBoxStyle>(
                   "Style",
                   {"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable"},
                   &TCustomComboBox::Style, &TCustomComboBox::SetStyle),
               IntField<TCustomComboBox, int>("DropDownCount", &TCustomComboBox::DropDownCount),
           });
    RegisterPublished<TCustomRadioGroup>(
        6, {
               ObjProp<TCustomRadioGroup, TStrings>("Items", &TCustomRadioGroup::Items),
               IntProp<TCustomRadioGroup, int>("ItemIndex", &TCustomRadioGroup::ItemIndex,
                                               &TCustomRadioGroup::SetItemIndex),
               IntProp<TCustomRadioGroup, int>("Columns", &TCustomRadioGroup::Columns,
                                               &TCustomRadioGroup::SetColumns),
           });
    RegisterPublished<TTabSheet>(4, {caption(), BoolField<TTabSheet>("TabVisible", &TTabSheet::TabVisible)});
    RegisterPublished<TPageControl>(
        5, {
               IntProp<TPageControl, int>("ActivePageIndex", &TPageControl::ActivePageIndex,
                                          &TPageControl::SetActivePageIndex),
           });
    RegisterPublished<TStatusBar>(5,
                                  {
                                      BoolField<TStatusBar>("SimplePanel", &TStatusBar::SimplePanel),
                                      StrProp<TStatusBar, std::string>("SimpleText", &TStatusBar::SimpleText,
                                                                       &TStatusBar::SetSimpleText),
                                      BoolField<TStatusBar>("SizeGrip", &TStatusBar::SizeGrip),
                                  });
    RegisterPublished<TProgressBar>(
        4, {
               IntProp<TProgressBar, int>("Min", &TProgressBar::Min, &TProgressBar::SetMin),
               IntProp<TProgressBar, int>("Max", &TProgressBar::Max, &TProgressBar::SetMax),
               IntProp<TProgressBar, int>("Position", &TProgressBar::Position, &TProgressBar::SetPosition),
               IntField<TProgressBar, int>("Step", &TProgressBar::Step),
           });
    RegisterPublished<TCustomRangeControl>(
        5,
        {
            IntProp<TCustomRangeControl, int>("Min", &TCustomRangeControl::Min, &TCustomRangeControl::SetMin),
            IntProp<TCustomRangeControl, int>("Max", &TCustomRangeControl::Max, &TCustomRangeControl::SetMax),
            IntProp<TCustomRangeControl, int>("Position", &TCustomRangeControl::Position,
                                              &TCustomRangeControl::SetPosition),
            IntField<TCustomRangeControl, int>("SmallChange", &TCustomRangeControl::SmallChange),
            IntField<TCustomRangeControl, int>("LargeChange", &TCustomRangeControl::LargeChange),
        });
    RegisterPublished<TImage>(3, {
                                     BoolField<TImage>("Stretch", &TImage::Stretch),
                                     BoolField<TImage>("Center", &TImage::Center),
                                     BoolField<TImage>("Transparent", &TImage::Transparent),
                                     BoolField<TImage>("AutoSize", &TImage::AutoSize),
                                 });
    RegisterPublished<TShape>(3, {
                                     EnumProp<TShape, TShapeType>("Shape",
                                                                  {"stRectangle", "stSquare", "stRoundRect",
                                                                   "stRoundSquare", "stEllipse", "stCircle"},
                                                                  &TShape::Shape, &TShape::SetShape),
                                     ObjProp<TShape, TBrush>("Brush", &TShape::Brush),
                                     ObjProp<TShape, TPen>("Pen", &TShape::Pen),
                                 });
    RegisterPublished<TBrush>(0, {IntField<TBrush, TColor>("Color", &TBrush::Color)});
    RegisterPublished<TPen>(
        0, {IntField<TPen, TColor>("Color", &TPen::Color), IntField<TPen, int>("Width", &TPen::Width)});
    RegisterPublished<TFileListBox>(
        6, {
               StrProp<TFileListBox, const std::string&>("Mask", &TFileListBox::Mask, &TFileListBox::SetMask),
           });
    {
        TPropInfo shortcut;
        shortcut.Name = "ShortCut";
        shortcut.Kind = tkInteger;
        shortcut.GetOrd = [](TObject* o) {
            return static_cast<int64_t>(static_cast<TMenuItem*>(o)->ShortCut);
        };
        shortcut.SetOrd = [](TObject* o, int64_t v) {
            static_cast<TMenuItem*>(o)->ShortCut = static_cast<TShortCut>(v);
        };
        TPropInfo checked = BoolField<TMenuItem>("Checked", &TMenuItem::Checked);
        checked.SetOrd = [](TObject* o, int64_t v) { static_cast<TMenuItem*>(o)->SetChecked(v != 0); };
        RegisterPublished<TMenuItem>(2, {
                                            StrField<TMenuItem>("Caption", &TMenuItem::Caption),
                                            checked,
                                            BoolField<TMenuItem>("Enabled", &TMenuItem::Enabled),
                                            BoolField<TMenuItem>("Visible", &TMenuItem::Visible),
                                            BoolField<TMenuItem>("RadioItem", &TMenuItem::RadioItem),
                                            StrField<TMenuItem>("Hint", &TMenuItem::Hint),
                                            shortcut,
                                        });
    }
}

}  // namespace

}  // namespace framework
