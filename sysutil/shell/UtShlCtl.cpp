#include "sysutil/shell/UtShlCtl.h"

#include "framework/ui/Controls.h"
#include "framework/ui/Windows.h"
#include "platform/ChangeNotify.h"
#include "sysutil/ShConst.h"

using namespace framework;

namespace sysutil {

namespace {

constexpr uint32_t kShellEvents[] = {
    0x08000000, 0x800, 0x2000, 0x2,  0x4,     0x1,    0x100, 0x80,  0x10000, 0x40000,
    0x20,       0x40,  0x8,    0x10, 0x20000, 0x1000, 0x200, 0x400, 0x4000,  0x8000,
};

// How often the hidden window looks for file-system changes, in milliseconds.
constexpr uint32_t kPollInterval = 250;
constexpr uintptr_t kPollTimer = 1;

void DisposeNotificationItem(void* data) {
    delete static_cast<TUtNotificationItem*>(data);
}

// The 32-bit value stored right after the size field of a list's first ID; 0 when the ID is too
// short to hold one.
uint32_t DriveMaskOf(LPCITEMIDLIST list) {
    if (!list) return 0;
    const uint16_t cb = static_cast<uint16_t>(list[0] | (list[1] << 8));
    if (cb < 6) return 0;
    return uint32_t(list[2]) | uint32_t(list[3]) << 8 | uint32_t(list[4]) << 16 | uint32_t(list[5]) << 24;
}

}  // namespace

uint32_t ShellEventOf(TUtNotifyEvents e) {
    return kShellEvents[e];
}

TUtNotificationItem::TUtNotificationItem(LPCITEMIDLIST AFirst, LPCITEMIDLIST ASecond, uint32_t AEvent)
    : First(ILClone(AFirst)), Second(ILClone(ASecond)), Event(AEvent) {}

TUtNotificationItem::~TUtNotificationItem() {
    ILFree(First);
    ILFree(Second);
}

TUtCustomShellNotification::TUtCustomShellNotification(TComponent* AOwner)
    : TShShellComponent(AOwner),
      FNotifier(std::make_unique<platform::TChangeNotifier>()),
      FQueue(std::make_unique<TUtDQue>()),
      FController(std::make_unique<TUtCustomShellController>(nullptr)) {
    FQueue->SetDisposeFunc(DisposeNotificationItem);
    if (!(ComponentState() & csDesigning)) FHandle = AllocateHWnd([this](TMessage& m) { WndProc(m); });
}

TUtCustomShellNotification::~TUtCustomShellNotification() {
    if (FRegistered) Unregister();
    if (FHandle) DeallocateHWnd(FHandle);
    FQueue.reset();
    ILFree(FWatchIDList);
}

int TUtCustomShellNotification::QueuedReports() const {
    return FQueue->Count();
}

void TUtCustomShellNotification::SetActive(bool Value) {
    FActive = Value;
    if (Value && !FRegistered)
        Register();
    else if (!Value && FRegistered)
        Unregister();
}

void TUtCustomShellNotification::Loaded() {
    TShShellComponent::Loaded();
    if (FActive && !FRegistered) Register();
}

void TUtCustomShellNotification::SetNotifyEvents(TUtNotifyEventsSet Value) {
    FNotifyEvents = Value & kAllNotifyEvents;
    if (FActive) Register();
}

void TUtCustomShellNotification::SetWatchSubFolders(bool Value) {
    FWatchSubFolders = Value;
    if (FActive) Register();
}

void TUtCustomShellNotification::SetWatchFolder(const std::string& Value) {
    std::string text = Value;
    if (text.size() == 2 && text[1] == ':') text += "\\";
    LPITEMIDLIST list = nullptr;
    if (!text.empty()) {
        // Parsed before anything changes: an unknown folder leaves the watch as it was.
        list = FController->ParsePath(text);
        if (!list) throw EShInvalidFolder(240);
    }
    FWatchFolder = text;
    if (text.empty()) return;
    FSpecialWatchFolder = sfNone;
    ILFree(FWatchIDList);
    FWatchIDList = list;
    if (FActive) Register();
}

void TUtCustomShellNotification::SetSpecialWatchFolder(TUtSpecialRootFolder Value) {
    if (!(ComponentState() & csDesigning)) CheckShellVersionFor(Value, ShellVersion());
    if (Value == FSpecialWatchFolder) return;
    LPITEMIDLIST list = nullptr;
    if (Value != sfNone && Value != sfDesktop) list = SpecialFolderLocation(Value);  // 110 when none
    FSpecialWatchFolder = Value;
    if (Value == sfNone) return;
    FWatchFolder.clear();
    ILFree(FWatchIDList);
    FWatchIDList = list;
    if (FActive) Register();
}

void TUtCustomShellNotification::SetWatchIDList(LPITEMIDLIST List) {
    if (List != FWatchIDList) ILFree(FWatchIDList);
    FWatchIDList = List;
    if (FActive) Register();
}

void TUtCustomShellNotification::Register() {
    if ((ComponentState() & (csDesigning | csLoading)) != 0) return;
    if (FRegistered) Unregister();
    // The folders of the namespace above the drives (the Desktop, My Computer) hear of drives and
    // media coming and going; a file-system folder hears of its items.
    const std::string path = platform::SHGetDisplayNameOf(FWatchIDList, platform::SHGDN_FORPARSING);
    if (!path.empty())
        FNotifier->Watch(path, FWatchSubFolders);
    else
        FNotifier->WatchDrives(true);
    FRegistered = true;
    if (FHandle) SetTimer(FHandle, kPollTimer, kPollInterval);
}

void TUtCustomShellNotification::Unregister() {
    FNotifier->Unwatch();
    if (FHandle) KillTimer(FHandle, kPollTimer);
    FRegistered = false;
}

int TUtCustomShellNotification::PollChanges(int TimeoutMs) {
    if (!FRegistered || !FHandle) return 0;
    uint32_t mask = 0;
    for (int e = 0; e < 20; ++e)
        if (FNotifyEvents & (1u << e)) mask |= kShellEvents[e];
    int count = 0;
    for (const auto& notice : FNotifier->Read(TimeoutMs, mask)) {
        LPITEMIDLIST first = platform::SHSimpleIDListFromPath(notice.Path1);
        LPITEMIDLIST second = notice.Path2.empty() ? nullptr : platform::SHSimpleIDListFromPath(notice.Path2);
        TUtShellReport report{first, second};
        SendMessage(FHandle, kShellNotifyMessage, reinterpret_cast<WPARAM>(&report), notice.Event);
        ILFree(first);
        ILFree(second);
        ++count;
    }
    return count;
}

void TUtCustomShellNotification::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case kShellNotifyMessage:
            Report(*reinterpret_cast<const TUtShellReport*>(Message.WParam),
                   static_cast<uint32_t>(Message.LParam));
            break;
        case kShellDeliverMessage:
            Deliver();
            break;
        case WM_TIMER:
            if (Message.WParam == kPollTimer) {
                PollChanges(0);
                break;
            }
            [[fallthrough]];
        default:
            Message.Result = DefWindowProc(FHandle, Message.Msg, Message.WParam, Message.LParam);
    }
}

void TUtCustomShellNotification::Report(const TUtShellReport& Report, uint32_t Event) {
    if (QueueLimit != 0 && FQueue->Count() > QueueLimit) return;
    if (Event == 0x800) {
        TUtShellItem* first = Report.First ? new TUtShellItem(Report.First, FController.get()) : nullptr;
        TUtShellItem* second = Report.Second ? new TUtShellItem(Report.Second, FController.get()) : nullptr;
        std::unique_ptr<TUtShellItem> holdFirst(first), holdSecond(second);
        FEvents = NotifySet(neAttributesChange);
        DoAttributeChange(first, second);
        DoShellChangeNotify(first, second, FEvents);
        return;
    }
    FQueue->Append(new TUtNotificationItem(Report.First, Report.Second, Event));
    if (FQueue->Count() == 1) PostMessage(FHandle, kShellDeliverMessage, 0, 0);
}

void TUtCustomShellNotification::Deliver() {
    while (auto* head = static_cast<TUtNotificationItem*>(FQueue->PeekHead())) {
        // The report leaves the queue before its events fire: a handler that raises cannot leave
        // it at the head and stop the deliveries.
        std::unique_ptr<TUtNotificationItem> report(
            new TUtNotificationItem(head->First, head->Second, head->Event));
        FQueue->PopHead();
        try {
            Fire(report->First, report->Second, report->Event);
        } catch (...) {
            if (!ApplicationHandleException) {
                if (FQueue->Count() > 0) PostMessage(FHandle, kShellDeliverMessage, 0, 0);
                throw;
            }
            ApplicationHandleException(this);
        }
    }
}

void TUtCustomShellNotification::Fire(LPCITEMIDLIST First, LPCITEMIDLIST Second, uint32_t Event) {
    std::unique_ptr<TUtShellItem> first(First ? new TUtShellItem(First, FController.get()) : nullptr);
    std::unique_ptr<TUtShellItem> second(Second ? new TUtShellItem(Second, FController.get()) : nullptr);
    TUtShellItem* a = first.get();
    TUtShellItem* b = second.get();
    FEvents = 0;
    auto on = [&](uint32_t bit, TUtNotifyEvents e) {
        if (!(Event & bit)) return false;
        FEvents |= NotifySet(e);
        return true;
    };
    if (on(0x08000000, neAssociationChange)) DoAssociationChange();
    if (on(0x2000, neFileChange)) DoFileChange(a);
    if (on(0x2, neFileCreate)) DoFileCreate(a);
    if (on(0x4, neFileDelete)) DoFileDelete(a, b);
    if (on(0x1, neFileRename)) DoFileRename(a, b);
    if (on(0x100, neDriveAdd)) DoDriveAdd(a);
    if (on(0x80, neDriveRemove)) DoDriveRemove(a);
    if (on(0x10000, neShellDriveAdd)) DoShellDriveAdd(a);
    if (on(0x20, neMediaInsert)) DoMediaInsert(a);
    if (on(0x40, neMediaRemove)) DoMediaRemove(a);
    if (on(0x8, neFolderCreate)) DoFolderCreate(a);
    if (on(0x10, neFolderDelete)) DoFolderDelete(a);
    if (on(0x20000, neFolderRename)) DoFolderRename(a, b);
    if (on(0x1000, neFolderUpdate)) DoFolderChange(a);
    if (on(0x200, neNetShare)) DoNetShare(a);
    if (on(0x400, neNetUnShare)) DoNetUnShare(a);
    if (on(0x4000, neServerDisconnect)) DoServerDisconnect(a);
    if (on(0x8000, neImageListChange)) DoImageListChange();
    if (on(0x40000, neDriveSpaceChange)) DoDriveSpaceChange(DriveMaskOf(First));
    DoShellChangeNotify(a, b, FEvents);
}

void TUtCustomShellNotification::DoAssociationChange() {
    if (OnAssociationChange) OnAssociationChange(this);
}
void TUtCustomShellNotification::DoAttributeChange(TUtShellItem* OldItem, TUtShellItem* NewItem) {
    if (OnAttributeChange) OnAttributeChange(this, OldItem, NewItem);
}
void TUtCustomShellNotification::DoDriveAdd(TUtShellItem* Item) {
    if (OnDriveAdd) OnDriveAdd(this, Item);
}
void TUtCustomShellNotification::DoDriveRemove(TUtShellItem* Item) {
    if (OnDriveRemove) OnDriveRemove(this, Item);
}
void TUtCustomShellNotification::DoDriveSpaceChange(uint32_t Drive) {
    if (OnDriveSpaceChange) OnDriveSpaceChange(this, Drive);
}
void TUtCustomShellNotification::DoFileChange(TUtShellItem* Item) {
    if (OnFileChange) OnFileChange(this, Item);
}
void TUtCustomShellNotification::DoFileCreate(TUtShellItem* Item) {
    if (OnFileCreate) OnFileCreate(this, Item);
}
void TUtCustomShellNotification::DoFileDelete(TUtShellItem* OldItem, TUtShellItem* NewItem) {
    if (OnFileDelete) OnFileDelete(this, OldItem, NewItem);
}
void TUtCustomShellNotification::DoFileRename(TUtShellItem* OldItem, TUtShellItem* NewItem) {
    if (OnFileRename) OnFileRename(this, OldItem, NewItem);
}
void TUtCustomShellNotification::DoFolderChange(TUtShellItem* Item) {
    if (OnFolderChange) OnFolderChange(this, Item);
}
void TUtCustomShellNotification::DoFolderCreate(TUtShellItem* Item) {
    if (OnFolderCreate) OnFolderCreate(this, Item);
}
void TUtCustomShellNotification::DoFolderDelete(TUtShellItem* Item) {
    if (OnFolderDelete) OnFolderDelete(this, Item);
}
void TUtCustomShellNotification::DoFolderRename(TUtShellItem* OldItem, TUtShellItem* NewItem) {
    if (OnFolderRename) OnFolderRename(this, OldItem, NewItem);
}
void TUtCustomShellNotification::DoImageListChange() {
    if (OnImageListChange) OnImageListChange(this);
}
void TUtCustomShellNotification::DoMediaInsert(TUtShellItem* Item) {
    if (OnMediaInsert) OnMediaInsert(this, Item);
}
void TUtCustomShellNotification::DoMediaRemove(TUtShellItem* Item) {
    if (OnMediaRemove) OnMediaRemove(this, Item);
}
void TUtCustomShellNotification::DoNetShare(TUtShellItem* Item) {
    if (OnNetShare) OnNetShare(this, Item);
}
void TUtCustomShellNotification::DoNetUnShare(TUtShellItem* Item) {
    if (OnNetUnShare) OnNetUnShare(this, Item);
}
void TUtCustomShellNotification::DoServerDisconnect(TUtShellItem* Item) {
    if (OnServerDisconnect) OnServerDisconnect(this, Item);
}
void TUtCustomShellNotification::DoShellDriveAdd(TUtShellItem* Item) {
    if (OnShellDriveAdd) OnShellDriveAdd(this, Item);
}
void TUtCustomShellNotification::DoShellChangeNotify(TUtShellItem* OldItem, TUtShellItem* NewItem,
                                                     TUtNotifyEventsSet Events) {
    if (OnShellChangeNotify) OnShellChangeNotify(this, OldItem, NewItem, Events);
}

}  // namespace sysutil
