#pragma once
// Browsers: non-visual components that open an archive file for reading and expose its items,
// and the detection of an archive's kind from its name and contents.

#include <cstdint>
#include <memory>
#include <string>

#include "codecs/archive/ArcArchive.h"
#include "codecs/archive/CabArchive.h"
#include "framework/core/Component.h"

namespace codecs {

// Archive kinds.
enum : uint8_t {
    akUnknown = 0,
    akZip = 1,
    akSpannedZip = 2,
    akSelfExtractingZip = 3,
    akTar = 4,
    akGzip = 5,
    akGzippedTar = 6,
    akCabinet = 7,
};

// The kind of the named file. A forced kind other than 0 is checked against the contents (or
// returned as it is for a missing file); without one the extension picks the test, or alone gives
// the kind of a missing or empty file. The cabinet test lists the cabinet and passes on every
// exception but EArcFDICreateError.
uint8_t DetectArchiveKind(const std::string& fileName, uint8_t forcedKind);

class TArcBaseComponent : public framework::TComponent {
public:
    using framework::TComponent::TComponent;
    std::string Version() const { return "3.04"; }
    void SetVersion(const std::string&) {}
};

// A progress display; none is part of this system.
class TArcMeterLink : public TArcBaseComponent {
public:
    using TArcBaseComponent::TArcBaseComponent;
    virtual void DoProgress(uint8_t progress) = 0;
    virtual void Reset() = 0;
};

class TArcBaseBrowser : public TArcBaseComponent {
public:
    using TConfirmItemEvent = std::function<void(framework::TObject* Sender, TArcArchiveItem* Item,
                                                 bool& Confirm, int32_t ProcessType)>;
    using TItemFailureEvent = TArcArchive::TItemFailureEvent;

    explicit TArcBaseBrowser(framework::TComponent* owner);
    ~TArcBaseBrowser() override;

    void Loaded() override;

    virtual void ResetMeters();
    virtual void DoArchiveItemProgress(TArcArchiveItem* item, uint8_t progress, bool& abort);
    virtual void DoArchiveProgress(uint8_t progress, bool& abort);
    virtual void DoChange();
    virtual void DoConfirmProcessItem(TArcArchiveItem* item, int32_t processType, bool& confirm);
    virtual void DoLoad();
    virtual void DoProcessItemFailure(TArcArchiveItem* item, int32_t processType, int32_t errorClass,
                                      int32_t errorCode);
    virtual void SetOnNextVolume(decltype(TArcArchive::OnRequestNextVolume) event);
    virtual void InitArchive();
    virtual void SetFileName(const std::string& name) = 0;

    int Count() const;
    void CloseArchive();

    void SetBaseDirectory(const std::string& value);
    void SetLogFile(const std::string& value);
    void SetLogging(bool value);
    void SetTempDirectory(const std::string& value);
    void SetItemProgressMeter(TArcMeterLink* meter);
    void SetArchiveProgressMeter(TArcMeterLink* meter);

    std::unique_ptr<TArcArchive> Archive;
    uint32_t SpanSize = 0;
    TArcMeterLink* ItemProgressMeter = nullptr;     // not owned
    TArcMeterLink* ArchiveProgressMeter = nullptr;  // not owned
    std::string BaseDirectory;
    std::string FileName;
    std::string LogFile;
    bool Logging = false;
    TArcArchive::TArcArchiveProgressEvent OnArchiveProgress;
    TArcArchive::TArcArchiveItemProgressEvent OnArchiveItemProgress;
    framework::TNotifyEvent OnChange;
    TConfirmItemEvent OnConfirmItem;
    framework::TNotifyEvent OnLoad;
    TItemFailureEvent OnItemFailure;
    decltype(TArcArchive::OnRequestNextVolume) OnRequestNextVolume;
    std::string TempDirectory;
    uint8_t ArchiveKind = akUnknown;
    uint8_t ForcedKind = akUnknown;

protected:
    void Notification(framework::TComponent* component, framework::TOperation operation) override;
    bool Designing() const { return (ComponentState() & framework::csDesigning) != 0; }
};

class TArcCustomCabBrowser : public TArcBaseBrowser {
public:
    explicit TArcCustomCabBrowser(framework::TComponent* owner);

    void InitArchive() override;
    void SetFileName(const std::string& name) override;
    virtual TArcCabItem* GetItem(int index) const;

    TArcCabArchive* CabArchive() const { return dynamic_cast<TArcCabArchive*>(Archive.get()); }
    uint32_t CabSize() const;
    uint16_t CurrentCab() const;
    uint16_t FolderCount() const;
    bool HasNext() const;
    bool HasPrev() const;
    uint16_t GetSetID() const;
    void SetSetID(uint16_t value);

    uint16_t SetID = 0;
};

class TArcCabBrowser : public TArcCustomCabBrowser {
public:
    using TArcCustomCabBrowser::TArcCustomCabBrowser;
};

}  // namespace codecs
