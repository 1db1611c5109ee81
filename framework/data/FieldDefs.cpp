#include "framework/data/FieldDefs.h"

#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"

namespace framework {

TFieldDef::TFieldDef(TFieldDefs* owner, std::string name, TFieldType dataType, int size, bool required,
                     int fieldNo)
    : Name(std::move(name)),
      DataType(dataType),
      Size(size),
      Required(required),
      FieldNo(fieldNo),
      FOwner(owner) {}

int TFieldDef::Index() const {
    for (int i = 0; i < FOwner->Count(); ++i)
        if (FOwner->Items(i) == this) return i;
    return -1;
}

TField* TFieldDef::CreateField(TDataSet* dataSet) const {
    auto field = CreateFieldOfType(DataType);
    if (!field) return nullptr;
    field->FieldName = Name;
    if (Size > 0 || DataType == ftString) field->SetSize(Size > 0 ? Size : 20);
    if (auto* bcd = dynamic_cast<TBCDField*>(field.get())) bcd->Precision = Precision;
    field->Required = Required;
    if (InternalCalcField) field->FieldKind = fkInternalCalc;
    return dataSet->AddDefaultField(std::move(field));
}

TFieldDef* TFieldDefs::Add(const std::string& name, TFieldType dataType, int size, bool required) {
    if (name.empty()) DatabaseError("Field name missing");
    if (IndexOf(name) >= 0) DatabaseErrorFmt(dbmsg::SDuplicateFieldName, {name}, FDataSet);
    FItems.push_back(std::make_unique<TFieldDef>(this, name, dataType, size, required, Count() + 1));
    Updated = false;
    return FItems.back().get();
}

void TFieldDefs::Clear() {
    FItems.clear();
    Updated = false;
}

TFieldDef* TFieldDefs::Items(int index) const {
    if (index < 0 || index >= Count()) DatabaseError(dbmsg::SFieldIndexError, FDataSet);
    return FItems[size_t(index)].get();
}

int TFieldDefs::IndexOf(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(FItems[size_t(i)]->Name, name)) return i;
    return -1;
}

TFieldDef* TFieldDefs::Find(const std::string& name) const {
    int i = IndexOf(name);
    if (i < 0) DatabaseErrorFmt(dbmsg::SFieldNotFound, {name}, FDataSet);
    return FItems[size_t(i)].get();
}

void TFieldDefs::Assign(const TFieldDefs& source) {
    if (&source == this) return;
    Clear();
    for (const auto& d : source.FItems) {
        auto copy = std::make_unique<TFieldDef>(this, d->Name, d->DataType, d->Size, d->Required, d->FieldNo);
        copy->Precision = d->Precision;
        copy->InternalCalcField = d->InternalCalcField;
        FItems.push_back(std::move(copy));
    }
}

void TFieldDefs::Update() {
    if (FDataSet) FDataSet->InitFieldDefs();
}

TIndexDef* TIndexDefs::Add(const std::string& name, const std::string& fields, TIndexOptions options) {
    FItems.push_back(std::make_unique<TIndexDef>(name, fields, options));
    return FItems.back().get();
}

void TIndexDefs::Clear() {
    FItems.clear();
}

void TIndexDefs::Delete(int index) {
    Items(index);
    FItems.erase(FItems.begin() + index);
}

TIndexDef* TIndexDefs::Items(int index) const {
    if (index < 0 || index >= Count())
        DatabaseError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[size_t(index)].get();
}

int TIndexDefs::IndexOf(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(FItems[size_t(i)]->Name, name)) return i;
    return -1;
}

TIndexDef* TIndexDefs::Find(const std::string& name) const {
    int i = IndexOf(name);
    if (i < 0) DatabaseErrorFmt(dbmsg::SIndexNotFound, {name}, FDataSet);
    return FItems[size_t(i)].get();
}

void TIndexDefs::Assign(const TIndexDefs& source) {
    if (&source == this) return;
    Clear();
    for (const auto& d : source.FItems) {
        auto copy = std::make_unique<TIndexDef>(d->Name, d->Fields, d->Options);
        copy->Expression = d->Expression;
        FItems.push_back(std::move(copy));
    }
}

void TIndexDefs::Move(int from, int to) {
    Items(from);
    Items(to);
    auto item = std::move(FItems[size_t(from)]);
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, std::move(item));
}

TIndexDef* TIndexDefs::GetIndexForFields(const std::string& fields, bool caseInsensitive) const {
    auto usable = [&](const TIndexDef& d) {
        return !(d.Options & ixExpression) && (!caseInsensitive || (d.Options & ixCaseInsensitive));
    };
    // An index on exactly these fields first, then one whose key starts with them.
    for (const auto& d : FItems)
        if (usable(*d) && AnsiSameText(d->Fields, fields)) return d.get();
    for (const auto& d : FItems) {
        if (!usable(*d) || d->Fields.size() <= fields.size()) continue;
        if (AnsiSameText(d->Fields.substr(0, fields.size()), fields) && d->Fields[fields.size()] == ';')
            return d.get();
    }
    return nullptr;
}

TIndexDef* TIndexDefs::FindIndexForFields(const std::string& fields) const {
    TIndexDef* d = GetIndexForFields(fields, false);
    if (!d) DatabaseErrorFmt(dbmsg::SNoFieldIndexes, {fields}, FDataSet);
    return d;
}

void TIndexDefs::Update() {
    if (FDataSet) FDataSet->UpdateIndexDefs();
}

}  // namespace framework
