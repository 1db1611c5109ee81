#pragma once
// TDataSource connects a dataset to data-aware controls; each control holds a TDataLink on the
// data source and receives the dataset's notifications through the link's virtual operations.
//
// A link sees its own window of BufferCount record buffers inside the dataset's buffer ring
// (the dataset keeps at least as many buffers as its largest link asks for). ActiveRecord is the
// current record's row in that window; a grid shows buffer row r as screen row r.

#include <functional>
#include <string>
#include <vector>

#include "framework/core/Component.h"
#include "framework/core/Object.h"
#include "framework/data/DataSet.h"

namespace framework {

class TDataLink;

using TDataChangeEvent = std::function<void(TObject* Sender, TField* Field)>;

class TDataSource : public TComponent {
public:
    explicit TDataSource(TComponent* AOwner = nullptr) : TComponent(AOwner) {}
    ~TDataSource() override;
    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;
    TDataSet* DataSet() const { return FDataSet; }
    // Raises "Circular datalinks are not allowed" when the dataset is linked back to this source.
    void SetDataSet(TDataSet* dataSet);
    bool AutoEdit = true;
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    TDataSetState State() const { return FState; }
    // Puts the dataset into edit state when AutoEdit allows and it is browsing.
    void Edit();
    bool IsLinkedTo(TDataSet* dataSet) const;

    TDataChangeEvent OnDataChange;
    TNotifyEvent OnStateChange;
    TNotifyEvent OnUpdateData;

    // The dataset and the links call these.
    void DataEvent(TDataEvent event, intptr_t info);
    // The same event for the links of datasets that follow this one (not for controls).
    void NotifyDetailLinks(TDataEvent event, intptr_t info);
    void AddDataLink(TDataLink* link);
    void RemoveDataLink(TDataLink* link);
    const std::vector<TDataLink*>& DataLinks() const { return FDataLinks; }
    void DataSetDestroyed() {
        FDataSet = nullptr;
        SetState(dsInactive);
    }

private:
    void SetState(TDataSetState value);
    void UpdateState();
    void NotifyLinkTypes(TDataEvent event, intptr_t info, bool detailLinks);

    TDataSet* FDataSet = nullptr;
    bool FEnabled = true;
    TDataSetState FState = dsInactive;
    std::vector<TDataLink*> FDataLinks;
};

class TDataLink : public TObject {
public:
    TDataLink() = default;
    ~TDataLink() override;
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    bool Active() const { return FActive; }
    bool Editing() const { return FEditing; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    int ActiveRecord() const;
    void SetActiveRecord(int value);
    int BufferCount() const { return FBufferCount; }
    void SetBufferCount(int value);
    // Records in the link's window (fewer than BufferCount near the end of a small dataset).
    int RecordCount() const;
    // Index of the link's first row in the dataset's buffers.
    int FirstRecord() const { return FFirstRecord; }
    // Puts the dataset into edit state through the data source (AutoEdit); answers Editing.
    bool Edit();
    // Asks the control to write its value (UpdateData) unless already doing so.
    void UpdateRecord();
    bool IsDetailLink() const { return FIsDetailLink; }

    // The data source calls this.
    void DataEvent(TDataEvent event, intptr_t info);

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void FocusControl(TField* /*field*/) {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* /*field*/) {}
    virtual void UpdateData() {}

    bool FIsDetailLink = false;

private:
    friend class TDataSource;
    friend class TDataSet;
    void SetActive(bool value);
    void SetEditing(bool value);
    void UpdateState();
    void UpdateRange();

    TDataSource* FDataSource = nullptr;
    int FFirstRecord = 0;
    int FBufferCount = 1;
    bool FActive = false;
    bool FEditing = false;
    bool FReadOnly = false;
    bool FUpdating = false;
};

// The link of a control bound to one field of the dataset.
class TFieldDataLink : public TDataLink {
public:
    TFieldDataLink() = default;

    std::string FieldName() const { return FFieldName; }
    // Looks the field up at once when the dataset is active ("Field '%s' not found").
    void SetFieldName(const std::string& name);
    TField* Field() const { return FField; }
    bool CanModify() const;
    // Starts editing when the data source allows; answers Editing.
    bool Edit();
    // The control's value changed: remembered until UpdateData writes it.
    void Modified() { FModified = true; }
    // Drops the control's change and shows the field's value again.
    void Reset();
    bool IsModified() const { return FModified; }
    TObject* Control = nullptr;

    TNotifyEvent OnDataChange;
    TNotifyEvent OnEditingChange;
    TNotifyEvent OnUpdateData;
    TNotifyEvent OnActiveChange;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void FocusControl(TField* field) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    void UpdateField();
    void SetField(TField* value);

    std::string FFieldName;
    TField* FField = nullptr;
    bool FModified = false;
};

// A link that a dataset uses to follow a master dataset (its detail data link).
class TDetailDataLink : public TDataLink {
public:
    TDetailDataLink() { FIsDetailLink = true; }
    TDataSet* DetailDataSet() const { return GetDetailDataSet(); }

protected:
    virtual TDataSet* GetDetailDataSet() const { return nullptr; }
};

// The master side of a master/detail pair: the detail dataset learns when the master's current
// record or its link fields change (OnMasterChange) and when the master closes (OnMasterDisable).
class TMasterDataLink : public TDetailDataLink {
public:
    explicit TMasterDataLink(TDataSet* detail) : FDetail(detail) {}

    std::string FieldNames() const { return FFieldNames; }
    void SetFieldNames(const std::string& names);
    // The master's fields named by FieldNames, resolved while the link is active.
    const std::vector<TField*>& Fields() const { return FFields; }

    TNotifyEvent OnMasterChange;
    TNotifyEvent OnMasterDisable;

protected:
    TDataSet* GetDetailDataSet() const override { return FDetail; }
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;

private:
    TDataSet* FDetail;
    std::string FFieldNames;
    std::vector<TField*> FFields;
};

}  // namespace framework
