#include "framework/data/Params.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/data/Fields.h"

namespace framework {

namespace {

TFieldType TypeOfValue(const Variant& v) {
    switch (v.VarType()) {
        case TVarType::varBoolean:
            return ftBoolean;
        case TVarType::varInteger:
            return ftInteger;
        case TVarType::varDouble:
            return ftFloat;
        case TVarType::varCurrency:
            return ftCurrency;
        case TVarType::varDate:
            return ftDateTime;
        case TVarType::varString:
            return ftString;
        default:
            return ftUnknown;
    }
}

bool IsNameChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || u >= 0x80;
}

}  // namespace

void TParam::SetValue(const Variant& v) {
    if (DataType == ftUnknown) DataType = TypeOfValue(v);
    FValue = v;
    Bound = true;
}

void TParam::SetTyped(TFieldType type, Variant v) {
    DataType = type;
    FValue = std::move(v);
    Bound = true;
}

void TParam::Clear() {
    FValue = Variant();
}

void TParam::Assign(const TParam& source) {
    Name = source.Name;
    DataType = source.DataType;
    ParamType = source.ParamType;
    FValue = source.FValue;
    Bound = source.Bound;
}

void TParam::AssignField(const TField* field) {
    if (!field) return;
    DataType = field->DataType();
    if (DataType == ftAutoInc) DataType = ftInteger;
    if (Name.empty()) Name = field->FieldName;
    // Bound is left as it was: a parameter filled from a master field is filled again from it
    // on the master's next record, unlike one given a value of its own.
    FValue = field->AsVariant();
}

int TParam::GetDataSize() const {
    switch (DataType) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftMemo:
        case ftFmtMemo:
        case ftBlob:
        case ftGraphic:
        case ftTypedBinary:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftOraBlob:
        case ftOraClob:
        case ftGuid:
            return int(AsString().size()) + 1;
        case ftBytes:
            return int(AsString().size());
        case ftVarBytes:
            return int(AsString().size()) + 2;
        case ftSmallint:
        case ftWord:
        case ftBoolean:
            return 2;
        case ftInteger:
        case ftAutoInc:
        case ftDate:
        case ftTime:
            return 4;
        case ftLargeint:
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
            return 8;
        case ftBCD:
            return int(sizeof(TBcd));
        default:
            return 0;
    }
}

void TParam::GetData(void* buffer) const {
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, size_t(GetDataSize()));
    if (FValue.IsNull()) return;
    switch (DataType) {
        case ftSmallint: {
            int16_t v = int16_t(FValue.AsInteger());
            std::memcpy(out, &v, 2);
            break;
        }
        case ftWord: {
            uint16_t v = uint16_t(FValue.AsInteger());
            std::memcpy(out, &v, 2);
            break;
        }
        case ftBoolean: {
            int16_t v = FValue.AsBoolean() ? 1 : 0;
            std::memcpy(out, &v, 2);
            break;
        }
        case ftInteger:
        case ftAutoInc: {
            int32_t v = int32_t(FValue.AsInteger());
            std::memcpy(out, &v, 4);
            break;
        }
        case ftLargeint: {
            int64_t v = FValue.AsInteger();
            std::memcpy(out, &v, 8);
            break;
        }
        case ftFloat:
        case ftCurrency: {
            double v = FValue.AsFloat();
            std::memcpy(out, &v, 8);
            break;
        }
        case ftBCD: {
            TBcd v = CurrToBCD(FValue.AsCurrency());
            std::memcpy(out, &v, sizeof v);
            break;
        }
        case ftDate: {
            int32_t v = DateTimeToDateData(FValue.AsDateTime());
            std::memcpy(out, &v, 4);
            break;
        }
        case ftTime: {
            int32_t v = DateTimeToTimeData(FValue.AsDateTime());
            std::memcpy(out, &v, 4);
            break;
        }
        case ftDateTime: {
            double v = DateTimeToTimeStampData(FValue.AsDateTime());
            std::memcpy(out, &v, 8);
            break;
        }
        case ftVarBytes: {
            std::string s = AsString();
            uint16_t len = uint16_t(s.size());
            std::memcpy(out, &len, 2);
            std::memcpy(out + 2, s.data(), s.size());
            break;
        }
        default: {
            std::string s = AsString();
            std::memcpy(out, s.data(), std::min(s.size(), size_t(GetDataSize())));
            break;
        }
    }
}

TParam* TParams::Items(int index) const {
    if (index < 0 || index >= Count())
        DatabaseError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[size_t(index)].get();
}

TParam* TParams::CreateParam(TFieldType dataType, const std::string& name, TParamType paramType) {
    FItems.push_back(std::make_unique<TParam>(name, paramType));
    FItems.back()->DataType = dataType;
    return FItems.back().get();
}

TParam* TParams::FindParam(const std::string& name) const {
    for (const auto& p : FItems)
        if (AnsiSameText(p->Name, name)) return p.get();
    return nullptr;
}

TParam* TParams::ParamByName(const std::string& name) const {
    TParam* p = FindParam(name);
    if (!p) DatabaseErrorFmt(dbmsg::SParameterNotFound, {name});
    return p;
}

void TParams::Assign(const TParams& source) {
    if (&source == this) return;
    Clear();
    for (const auto& p : source.FItems) {
        auto copy = std::make_unique<TParam>(p->Name);
        copy->Assign(*p);
        FItems.push_back(std::move(copy));
    }
}

void TParams::AssignValues(const TParams& source) {
    for (const auto& src : source.FItems) {
        // Every parameter of that name takes the value: a name used twice in the text is two places.
        for (auto& p : FItems) {
            if (!AnsiSameText(p->Name, src->Name)) continue;
            p->DataType = src->DataType;
            p->SetValue(src->Value());
            p->Bound = src->Bound;
        }
    }
}

bool TParams::IsEqual(const TParams& other) const {
    if (Count() != other.Count()) return false;
    for (int i = 0; i < Count(); ++i) {
        const TParam& a = *FItems[size_t(i)];
        const TParam& b = *other.FItems[size_t(i)];
        if (a.Name != b.Name || a.DataType != b.DataType || a.ParamType != b.ParamType ||
            !(a.Value() == b.Value()))
            return false;
    }
    return true;
}

std::string TParams::ParseSQL(const std::string& sql, bool doCreate) {
    std::string out;
    out.reserve(sql.size());
    size_t i = 0;
    while (i < sql.size()) {
        char c = sql[i];
        if (c == '\'' || c == '"') {
            // Quoted text is copied unchanged; a doubled quote stays inside it.
            size_t j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == c) {
                    if (j + 1 < sql.size() && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            size_t end = j < sql.size() ? j + 1 : j;
            out.append(sql, i, end - i);
            i = end;
            continue;
        }
        if (c != ':') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < sql.size() && sql[i + 1] == ':') {
            out += ':';
            i += 2;
            continue;
        }
        std::string name;
        size_t j = i + 1;
        if (j < sql.size() && sql[j] == '"') {
            size_t close = sql.find('"', j + 1);
            if (close == std::string::npos) {
                out += c;
                ++i;
                continue;
            }
            name = sql.substr(j + 1, close - j - 1);
            j = close + 1;
        } else {
            while (j < sql.size() && IsNameChar(sql[j])) name += sql[j++];
        }
        if (name.empty()) {
            out += c;
            ++i;
            continue;
        }
        if (doCreate) CreateParam(ftUnknown, name, ptInput);
        out += '?';
        i = j;
    }
    return out;
}

}  // namespace framework
