#include "framework/data/DataSource.h"

#include <algorithm>

#include "framework/core/SysUtils.h"

namespace framework {

// ---- TDataSource ---------------------------------------------------------------------------------

TDataSource::~TDataSource() {
    for (TDataLink* link : std::vector<TDataLink*>(FDataLinks)) link->SetDataSource(nullptr);
    if (FDataSet) FDataSet->RemoveDataSource(this);
    FDataSet = nullptr;
}

bool TDataSource::IsLinkedTo(TDataSet* dataSet) const {
    // Walk up the masters of the dataset: reaching this source again would close a circle.
    int guard = 0;
    const TDataSource* source = dataSet ? dataSet->GetDataSource() : nullptr;
    while (source && guard++ < 1000) {
        if (source == this) return true;
        source = source->FDataSet ? source->FDataSet->GetDataSource() : nullptr;
    }
    return false;
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == FDataSet) return;
    if (dataSet && IsLinkedTo(dataSet)) DatabaseError(dbmsg::SCircularDataLink);
    if (FDataSet) FDataSet->RemoveDataSource(this);
    FDataSet = dataSet;
    if (FDataSet) FDataSet->AddDataSource(this);
    UpdateState();
}

void TDataSource::SetEnabled(bool value) {
    FEnabled = value;
    UpdateState();
}

void TDataSource::Edit() {
    if (AutoEdit && FDataSet && FState == dsBrowse) FDataSet->Edit();
}

void TDataSource::UpdateState() {
    SetState(FEnabled && FDataSet ? FDataSet->State() : dsInactive);
}

void TDataSource::SetState(TDataSetState value) {
    if (FState == value) return;
    FState = value;
    NotifyLinkTypes(deUpdateState, 0, false);
    NotifyLinkTypes(deUpdateState, 0, true);
    if (OnStateChange) OnStateChange(this);
}

void TDataSource::NotifyLinkTypes(TDataEvent event, intptr_t info, bool detailLinks) {
    for (TDataLink* link : std::vector<TDataLink*>(FDataLinks))
        if (link->IsDetailLink() == detailLinks) link->DataEvent(event, info);
}

void TDataSource::NotifyDetailLinks(TDataEvent event, intptr_t info) {
    if (FState != dsInactive) NotifyLinkTypes(event, info, true);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (FState == dsInactive) return;
    // Controls first, then the detail datasets that follow this one.
    NotifyLinkTypes(event, info, false);
    NotifyLinkTypes(event, info, true);
    switch (event) {
        case deFieldChange:
            if (OnDataChange) OnDataChange(this, reinterpret_cast<TField*>(info));
            break;
        case deRecordChange:
        case deDataSetChange:
        case deDataSetScroll:
        case deLayoutChange:
            if (OnDataChange) OnDataChange(this, nullptr);
            break;
        case deUpdateRecord:
            if (OnUpdateData) OnUpdateData(this);
            break;
        default:
            break;
    }
}

void TDataSource::AddDataLink(TDataLink* link) {
    FDataLinks.push_back(link);
    if (FDataSet) FDataSet->SetBufferCountFromLinks();
}

void TDataSource::RemoveDataLink(TDataLink* link) {
    FDataLinks.erase(std::remove(FDataLinks.begin(), FDataLinks.end(), link), FDataLinks.end());
    if (FDataSet) FDataSet->SetBufferCountFromLinks();
}

// ---- TDataLink ---------------------------------------------------------------------------------------

TDataLink::~TDataLink() {
    if (FDataSource) FDataSource->RemoveDataLink(this);
    FDataSource = nullptr;
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == FDataSource) return;
    if (FDataSource) FDataSource->RemoveDataLink(this);
    FDataSource = source;
    if (FDataSource) FDataSource->AddDataLink(this);
    UpdateState();
}

TDataSet* TDataLink::DataSet() const {
    return FDataSource ? FDataSource->DataSet() : nullptr;
}

void TDataLink::SetReadOnly(bool value) {
    if (FReadOnly == value) return;
    FReadOnly = value;
    UpdateState();
}

void TDataLink::UpdateState() {
    TDataSet* ds = DataSet();
    SetActive(FDataSource && FDataSource->Enabled() && ds && ds->Active() && ds->State() != dsInactive);
    TDataSetState st = FDataSource ? FDataSource->State() : dsInactive;
    SetEditing(FActive && !FReadOnly && (st == dsEdit || st == dsInsert || st == dsSetKey));
}

void TDataLink::SetActive(bool value) {
    if (FActive == value) return;
    FActive = value;
    if (value) {
        FFirstRecord = 0;
        if (TDataSet* ds = DataSet()) ds->SetBufferCountFromLinks();
        UpdateRange();
    }
    ActiveChanged();
}

void TDataLink::SetEditing(bool value) {
    if (FEditing == value) return;
    FEditing = value;
    EditingChanged();
}

void TDataLink::UpdateRange() {
    TDataSet* ds = DataSet();
    if (!ds) return;
    // The window must hold the active record and lie inside the dataset's buffers.
    int active = ds->FActiveRecord;
    int lo = std::max(0, active - FBufferCount + 1);
    // It also stops at the last record held, so that it shows as many records as it can.
    int hi = std::min(active, std::max(0, ds->FRecordCount - FBufferCount));
    FFirstRecord = std::clamp(FFirstRecord, lo, std::max(lo, hi));
}

int TDataLink::ActiveRecord() const {
    TDataSet* ds = DataSet();
    return FActive && ds ? ds->FActiveRecord - FFirstRecord : 0;
}

void TDataLink::SetActiveRecord(int value) {
    TDataSet* ds = DataSet();
    if (!FActive || !ds) return;
    int index = value + FFirstRecord;
    if (index >= 0 && index < std::max(ds->FRecordCount, 1)) ds->FActiveRecord = index;
}

void TDataLink::SetBufferCount(int value) {
    if (value < 1) value = 1;
    if (FBufferCount == value) return;
    FBufferCount = value;
    if (FActive) {
        if (TDataSet* ds = DataSet()) ds->SetBufferCountFromLinks();
        UpdateRange();
    }
}

int TDataLink::RecordCount() const {
    TDataSet* ds = DataSet();
    if (!FActive || !ds) return 0;
    return std::clamp(ds->FRecordCount - FFirstRecord, 0, FBufferCount);
}

bool TDataLink::Edit() {
    if (!FReadOnly && FDataSource) FDataSource->Edit();
    return FEditing;
}

void TDataLink::UpdateRecord() {
    FUpdating = true;
    try {
        UpdateData();
    } catch (...) {
        FUpdating = false;
        throw;
    }
    FUpdating = false;
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!FActive) return;
    switch (event) {
        case deFieldChange:
        case deRecordChange:
            if (!FUpdating) RecordChanged(reinterpret_cast<TField*>(info));
            break;
        case deDataSetChange:
            UpdateRange();
            DataSetChanged();
            break;
        case deLayoutChange:
            UpdateRange();
            LayoutChanged();
            break;
        case deDataSetScroll: {
            // info: how far the dataset's buffer contents moved up. The link keeps its rows on the
            // same records where it can and reports how far its own window moved.
            int shift = int(info);
            int before = FFirstRecord;
            FFirstRecord -= shift;
            UpdateRange();
            DataSetScrolled(FFirstRecord + shift - before);
            break;
        }
        case deUpdateRecord:
            UpdateRecord();
            break;
        case deCheckBrowseMode:
            CheckBrowseMode();
            break;
        case deFocusControl:
            FocusControl(reinterpret_cast<TField*>(info));
            break;
        default:
            break;
    }
}

// ---- TFieldDataLink ------------------------------------------------------------------------------

void TFieldDataLink::SetFieldName(const std::string& name) {
    if (FFieldName == name) return;
    FFieldName = name;
    UpdateField();
}

void TFieldDataLink::SetField(TField* value) {
    if (FField == value) return;
    FField = value;
    FModified = false;
    if (OnDataChange) OnDataChange(Control);
    if (OnEditingChange) OnEditingChange(Control);
}

void TFieldDataLink::UpdateField() {
    TDataSet* ds = DataSet();
    SetField(nullptr);
    if (Active() && ds && !FFieldName.empty()) SetField(ds->FieldByName(FFieldName));
}

bool TFieldDataLink::CanModify() const {
    return !ReadOnly() && FField && FField->CanModify();
}

bool TFieldDataLink::Edit() {
    if (CanModify()) TDataLink::Edit();
    return Editing();
}

void TFieldDataLink::Reset() {
    RecordChanged(nullptr);
}

void TFieldDataLink::ActiveChanged() {
    UpdateField();
    if (OnActiveChange) OnActiveChange(Control);
}

void TFieldDataLink::EditingChanged() {
    if (OnEditingChange) OnEditingChange(Control);
}

void TFieldDataLink::FocusControl(TField*) {}

void TFieldDataLink::LayoutChanged() {
    UpdateField();
}

void TFieldDataLink::RecordChanged(TField* field) {
    if (field && field != FField) return;
    if (OnDataChange) OnDataChange(Control);
    FModified = false;
}

void TFieldDataLink::UpdateData() {
    if (!FModified) return;
    if (FField && OnUpdateData) OnUpdateData(Control);
    FModified = false;
}

// ---- TMasterDataLink ------------------------------------------------------------------------------

void TMasterDataLink::SetFieldNames(const std::string& names) {
    if (FFieldNames == names) return;
    FFieldNames = names;
    ActiveChanged();
}

void TMasterDataLink::ActiveChanged() {
    FFields.clear();
    if (Active() && DataSet()) {
        try {
            DataSet()->GetFieldList(FFields, FFieldNames);
        } catch (const EDatabaseError&) {
            FFields.clear();
            throw;
        }
    }
    if (FDetail && FDetail->Active() && !FDetail->ControlsDisabled()) {
        if (Active() && !FFields.empty()) {
            if (OnMasterChange) OnMasterChange(this);
        } else if (OnMasterDisable) {
            OnMasterDisable(this);
        }
    }
}

void TMasterDataLink::CheckBrowseMode() {
    if (FDetail && FDetail->Active()) FDetail->CheckBrowseMode();
}

void TMasterDataLink::LayoutChanged() {
    ActiveChanged();
}

void TMasterDataLink::RecordChanged(TField* field) {
    if (!FDetail || !FDetail->Active() || FFields.empty()) return;
    if (DataSource() && DataSource()->State() != dsSetKey &&
        (!field || std::find(FFields.begin(), FFields.end(), field) != FFields.end()))
        if (OnMasterChange) OnMasterChange(this);
}

}  // namespace framework
