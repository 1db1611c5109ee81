#include "codecs/archive/ArcBrowser.h"

#include "codecs/archive/ArcErrors.h"
#include "codecs/archive/TarGzip.h"
#include "framework/core/Stream.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

namespace codecs {

namespace {

std::string UpperExtension(const std::string& name) {
    size_t dot = name.find_last_of(".\\:");
    if (dot == std::string::npos || name[dot] != '.') return std::string();
    return platform::AnsiUpperString(name.substr(dot));
}

int CabinetTest(const std::string& fileName) {
    try {
        TArcCabArchive test(fileName, 0);
        test.LoadArchive();
        return akCabinet;
    } catch (const EArcFDICreateError&) {
        return akUnknown;
    }
}

}  // namespace

uint8_t DetectArchiveKind(const std::string& fileName, uint8_t forcedKind) {
    const std::string ext = UpperExtension(fileName);
    uint32_t attributes = platform::GetFileAttributes(fileName);
    bool exists =
        attributes != platform::INVALID_FILE_ATTRIBUTES && !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
    if (forcedKind != akUnknown) {
        if (!exists) return forcedKind;
        if (forcedKind == akCabinet) return static_cast<uint8_t>(CabinetTest(fileName));
        framework::TFileStream stream(fileName, framework::fmOpenRead | framework::fmShareDenyNone);
        switch (forcedKind) {
            case akZip:
                return ZipSignatureTest(&stream) == 1 ? akZip : akUnknown;
            case akSelfExtractingZip:
                return static_cast<uint8_t>(SfxSignatureTest(&stream));
            case akTar:
                return static_cast<uint8_t>(TarSignatureTest(&stream));
            case akGzip:
            case akGzippedTar:
                return static_cast<uint8_t>(GzipSignatureTest(&stream));
            default:
                return akUnknown;
        }
    }
    bool empty = true;
    if (exists) {
        framework::TFileStream stream(fileName, framework::fmOpenRead | framework::fmShareDenyNone);
        empty = stream.Size() == 0;
        if (!empty) {
            if (ext == ".EXE") return static_cast<uint8_t>(SfxSignatureTest(&stream));
            if (ext == ".ZIP") return static_cast<uint8_t>(ZipSignatureTest(&stream));
            if (ext == ".TAR") return static_cast<uint8_t>(TarSignatureTest(&stream));
            if (ext == ".GZ" || ext == ".TGZ") return static_cast<uint8_t>(GzipSignatureTest(&stream));
        }
    }
    if (!empty)
        return ext == ".CAB" ? static_cast<uint8_t>(CabinetTest(fileName)) : static_cast<uint8_t>(akUnknown);
    if (ext == ".ZIP") return akZip;
    if (ext == ".TAR") return akTar;
    if (ext == ".GZ") return akGzip;
    if (ext == ".TGZ") return akGzippedTar;
    if (ext == ".CAB") return akCabinet;
    return akUnknown;
}

// ---- base browser -------------------------------------------------------------------------------

TArcBaseBrowser::TArcBaseBrowser(framework::TComponent* owner) : TArcBaseComponent(owner) {}

TArcBaseBrowser::~TArcBaseBrowser() {
    Archive.reset();
}

void TArcBaseBrowser::Loaded() {
    TArcBaseComponent::Loaded();
    DoChange();
}

void TArcBaseBrowser::Notification(framework::TComponent* component, framework::TOperation operation) {
    TArcBaseComponent::Notification(component, operation);
    if (operation != framework::opRemove) return;
    if (component == ItemProgressMeter) ItemProgressMeter = nullptr;
    if (component == ArchiveProgressMeter) ArchiveProgressMeter = nullptr;
}

void TArcBaseBrowser::SetItemProgressMeter(TArcMeterLink* meter) {
    ItemProgressMeter = meter;
    if (meter) meter->FreeNotification(this);
}

void TArcBaseBrowser::SetArchiveProgressMeter(TArcMeterLink* meter) {
    ArchiveProgressMeter = meter;
    if (meter) meter->FreeNotification(this);
}

void TArcBaseBrowser::ResetMeters() {
    if (ArchiveProgressMeter) ArchiveProgressMeter->Reset();
    if (ItemProgressMeter) ItemProgressMeter->Reset();
}

void TArcBaseBrowser::DoArchiveItemProgress(TArcArchiveItem* item, uint8_t progress, bool& abort) {
    abort = false;
    if (ItemProgressMeter) ItemProgressMeter->DoProgress(progress);
    if (OnArchiveItemProgress) OnArchiveItemProgress(this, item, progress, abort);
}

void TArcBaseBrowser::DoArchiveProgress(uint8_t progress, bool& abort) {
    abort = false;
    if (ArchiveProgressMeter) ArchiveProgressMeter->DoProgress(progress);
    if (OnArchiveProgress) OnArchiveProgress(this, progress, abort);
}

void TArcBaseBrowser::DoChange() {
    if (OnChange) OnChange(this);
}

void TArcBaseBrowser::DoLoad() {
    if (OnLoad) OnLoad(this);
}

void TArcBaseBrowser::DoConfirmProcessItem(TArcArchiveItem* item, int32_t processType, bool& confirm) {
    confirm = true;
    if (ItemProgressMeter) ItemProgressMeter->Reset();
    if (OnConfirmItem) OnConfirmItem(this, item, confirm, processType);
}

void TArcBaseBrowser::DoProcessItemFailure(TArcArchiveItem* item, int32_t processType, int32_t errorClass,
                                           int32_t errorCode) {
    if (OnItemFailure) OnItemFailure(this, item, processType, errorClass, errorCode);
}

void TArcBaseBrowser::SetOnNextVolume(decltype(TArcArchive::OnRequestNextVolume) event) {
    OnRequestNextVolume = event;
    if (Archive) Archive->OnRequestNextVolume = event;
}

void TArcBaseBrowser::InitArchive() {
    ResetMeters();
    if (!Archive) return;
    Archive->SetSpanSize(static_cast<int32_t>(SpanSize));
    Archive->SetLogFile(LogFile);
    Archive->SetLogging(Logging);
    Archive->TempDirectory = TempDirectory;
    SetBaseDirectory(BaseDirectory);
    Archive->OnArchiveProgress = [this](framework::TObject*, uint8_t progress, bool& abort) {
        DoArchiveProgress(progress, abort);
    };
    Archive->OnArchiveItemProgress = [this](framework::TObject*, TArcArchiveItem* item, uint8_t progress,
                                            bool& abort) { DoArchiveItemProgress(item, progress, abort); };
    Archive->OnConfirmItem = [this](framework::TObject*, TArcArchiveItem* item, int32_t processType,
                                    bool& confirm) { DoConfirmProcessItem(item, processType, confirm); };
    Archive->OnLoad = [this](framework::TObject*) { DoLoad(); };
    Archive->OnItemFailure = [this](framework::TObject*, TArcArchiveItem* item, int32_t processType,
                                    int32_t errorClass, int32_t errorCode) {
        DoProcessItemFailure(item, processType, errorClass, errorCode);
    };
    Archive->OnRequestNextVolume = OnRequestNextVolume;
}

int TArcBaseBrowser::Count() const {
    return Archive ? Archive->Count() : 0;
}

void TArcBaseBrowser::CloseArchive() {
    if (!FileName.empty()) SetFileName("");
}

void TArcBaseBrowser::SetBaseDirectory(const std::string& value) {
    if (Archive) {
        Archive->SetBaseDirectory(value);
        BaseDirectory = Archive->BaseDirectory;
    } else {
        BaseDirectory = value;
    }
}

void TArcBaseBrowser::SetLogFile(const std::string& value) {
    LogFile = value;
    if (Designing()) return;
    if (Archive) Archive->SetLogFile(value);
    SetLogging(!value.empty());
}

void TArcBaseBrowser::SetLogging(bool value) {
    Logging = value;
    if (Designing()) return;
    if (Archive) Archive->SetLogging(value);
}

void TArcBaseBrowser::SetTempDirectory(const std::string& value) {
    TempDirectory = value;
    if (Archive) Archive->TempDirectory = value;
}

// ---- cabinet browsers ---------------------------------------------------------------------------

TArcCustomCabBrowser::TArcCustomCabBrowser(framework::TComponent* owner) : TArcBaseBrowser(owner) {
    ArchiveKind = akCabinet;
}

void TArcCustomCabBrowser::InitArchive() {
    TArcBaseBrowser::InitArchive();
    if (TArcCabArchive* cab = CabArchive()) cab->SetSetID(SetID);
}

TArcCabItem* TArcCustomCabBrowser::GetItem(int index) const {
    if (!Archive) return nullptr;
    return dynamic_cast<TArcCabItem*>(Archive->ItemList->Get(index));
}

void TArcCustomCabBrowser::SetFileName(const std::string& name) {
    FileName = name;
    if (Designing()) return;
    // OnChange is fired however this ends, also when detection or listing raises.
    try {
        Archive.reset();
        if (!name.empty()) {
            uint32_t attributes = platform::GetFileAttributes(name);
            bool exists = attributes != platform::INVALID_FILE_ATTRIBUTES &&
                          !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
            if (exists && DetectArchiveKind(name, akCabinet) == akCabinet) {
                Archive = std::make_unique<TArcCabArchive>(name, 0);
                InitArchive();
                Archive->Load();
            }
        }
    } catch (...) {
        DoChange();
        throw;
    }
    DoChange();
}

uint32_t TArcCustomCabBrowser::CabSize() const {
    TArcCabArchive* cab = CabArchive();
    return cab ? cab->CabSize : 0;
}
uint16_t TArcCustomCabBrowser::CurrentCab() const {
    TArcCabArchive* cab = CabArchive();
    return cab ? cab->CurrentCab : 0;
}
uint16_t TArcCustomCabBrowser::FolderCount() const {
    TArcCabArchive* cab = CabArchive();
    return cab ? cab->FolderCount : 0;
}
bool TArcCustomCabBrowser::HasNext() const {
    TArcCabArchive* cab = CabArchive();
    return cab && cab->HasNext;
}
bool TArcCustomCabBrowser::HasPrev() const {
    TArcCabArchive* cab = CabArchive();
    return cab && cab->HasPrev;
}
uint16_t TArcCustomCabBrowser::GetSetID() const {
    TArcCabArchive* cab = CabArchive();
    return cab ? cab->SetID : 0;
}
void TArcCustomCabBrowser::SetSetID(uint16_t value) {
    SetID = value;
    if (TArcCabArchive* cab = CabArchive()) cab->SetSetID(value);
}

}  // namespace codecs
