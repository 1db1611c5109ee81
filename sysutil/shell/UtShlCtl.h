#pragma once
// The shell change notification: tells its owner, as events on the user-interface thread, what
// changed in a watched folder. Reports reach a hidden window of the component (message 1025); all
// but attribute changes are queued and delivered one by one from a posted message (1026), so a
// handler may take long or show dialogs while further reports wait.
//
// Reports come from the file-system change notices of the watched folder (see
// platform/ChangeNotify.h), read on the hidden window's timer or through PollChanges.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/ui/Messages.h"
#include "sysutil/ShBase.h"
#include "sysutil/ShDQue.h"
#include "sysutil/shell/UtShell.h"

namespace platform {
class TChangeNotifier;
}

namespace sysutil {

enum TUtNotifyEvents {
    neAssociationChange,
    neAttributesChange,
    neFileChange,
    neFileCreate,
    neFileDelete,
    neFileRename,
    neDriveAdd,
    neDriveRemove,
    neShellDriveAdd,
    neDriveSpaceChange,
    neMediaInsert,
    neMediaRemove,
    neFolderCreate,
    neFolderDelete,
    neFolderRename,
    neFolderUpdate,
    neNetShare,
    neNetUnShare,
    neServerDisconnect,
    neImageListChange
};
// A set of TUtNotifyEvents: bit (1 << event).
using TUtNotifyEventsSet = uint32_t;
constexpr TUtNotifyEventsSet NotifySet(TUtNotifyEvents e) {
    return 1u << e;
}
constexpr TUtNotifyEventsSet kAllNotifyEvents = (1u << 20) - 1;
// The shell event number of an event.
uint32_t ShellEventOf(TUtNotifyEvents e);

inline constexpr unsigned kShellNotifyMessage = 1025;
inline constexpr unsigned kShellDeliverMessage = 1026;

using TUtShellNotifyEvent1 = std::function<void(framework::TObject* Sender, TUtShellItem* ShellItem)>;
using TUtShellNotifyEvent2 =
    std::function<void(framework::TObject* Sender, TUtShellItem* OldShellItem, TUtShellItem* NewShellItem)>;
using TUtShellNotifyEvent3 = std::function<void(framework::TObject* Sender, TUtShellItem* OldShellItem,
                                                TUtShellItem* NewShellItem, TUtNotifyEventsSet Events)>;
using TUtShellNotifyEvent4 = std::function<void(framework::TObject* Sender, uint32_t Drive)>;

// One queued report: copies of its ID lists (either may be nil) and the shell event number.
class TUtNotificationItem : public framework::TObject {
public:
    TUtNotificationItem(LPCITEMIDLIST First, LPCITEMIDLIST Second, uint32_t Event);
    ~TUtNotificationItem() override;
    TUtNotificationItem(const TUtNotificationItem&) = delete;
    TUtNotificationItem& operator=(const TUtNotificationItem&) = delete;
    LPITEMIDLIST First = nullptr;
    LPITEMIDLIST Second = nullptr;
    uint32_t Event = 0;
};

// What message 1025 carries in its WParam; LParam is the shell event number.
struct TUtShellReport {
    LPCITEMIDLIST First = nullptr;
    LPCITEMIDLIST Second = nullptr;
};

class TUtCustomShellNotification : public TShShellComponent {
public:
    explicit TUtCustomShellNotification(framework::TComponent* AOwner);
    ~TUtCustomShellNotification() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    TUtNotifyEventsSet NotifyEvents() const { return FNotifyEvents; }
    void SetNotifyEvents(TUtNotifyEventsSet Value);
    TUtSpecialRootFolder SpecialWatchFolder() const { return FSpecialWatchFolder; }
    void SetSpecialWatchFolder(TUtSpecialRootFolder Value);
    const std::string& WatchFolder() const { return FWatchFolder; }
    void SetWatchFolder(const std::string& Value);
    bool WatchSubFolders() const { return FWatchSubFolders; }
    void SetWatchSubFolders(bool Value);
    // 0: no limit. A report is dropped while more than this many wait.
    int QueueLimit = 0;
    // Used by the views: takes the list (nil watches the desktop) and registers again when active.
    void SetWatchIDList(LPITEMIDLIST List);
    bool Registered() const { return FRegistered; }
    int QueuedReports() const;
    framework::HWND Handle() const { return FHandle; }

    // Waits at most TimeoutMs for file-system changes of the watched folder and hands each to the
    // hidden window as a report; returns the number handed on.
    int PollChanges(int TimeoutMs);

    framework::TNotifyEvent OnAssociationChange;
    TUtShellNotifyEvent2 OnAttributeChange;
    TUtShellNotifyEvent1 OnDriveAdd, OnDriveRemove, OnShellDriveAdd;
    TUtShellNotifyEvent4 OnDriveSpaceChange;
    TUtShellNotifyEvent1 OnFileChange, OnFileCreate;
    TUtShellNotifyEvent2 OnFileDelete, OnFileRename;
    TUtShellNotifyEvent1 OnFolderChange, OnFolderCreate, OnFolderDelete;
    TUtShellNotifyEvent2 OnFolderRename;
    framework::TNotifyEvent OnImageListChange;
    TUtShellNotifyEvent1 OnMediaInsert, OnMediaRemove, OnNetShare, OnNetUnShare, OnServerDisconnect;
    TUtShellNotifyEvent3 OnShellChangeNotify;

protected:
    void Loaded() override;

    virtual void DoAssociationChange();
    virtual void DoAttributeChange(TUtShellItem* OldItem, TUtShellItem* NewItem);
    virtual void DoDriveAdd(TUtShellItem* Item);
    virtual void DoDriveRemove(TUtShellItem* Item);
    virtual void DoDriveSpaceChange(uint32_t Drive);
    virtual void DoFileChange(TUtShellItem* Item);
    virtual void DoFileCreate(TUtShellItem* Item);
    virtual void DoFileDelete(TUtShellItem* OldItem, TUtShellItem* NewItem);
    virtual void DoFileRename(TUtShellItem* OldItem, TUtShellItem* NewItem);
    virtual void DoFolderChange(TUtShellItem* Item);
    virtual void DoFolderCreate(TUtShellItem* Item);
    virtual void DoFolderDelete(TUtShellItem* Item);
    virtual void DoFolderRename(TUtShellItem* OldItem, TUtShellItem* NewItem);
    virtual void DoImageListChange();
    virtual void DoMediaInsert(TUtShellItem* Item);
    virtual void DoMediaRemove(TUtShellItem* Item);
    virtual void DoNetShare(TUtShellItem* Item);
    virtual void DoNetUnShare(TUtShellItem* Item);
    virtual void DoServerDisconnect(TUtShellItem* Item);
    virtual void DoShellDriveAdd(TUtShellItem* Item);
    virtual void DoShellChangeNotify(TUtShellItem* OldItem, TUtShellItem* NewItem, TUtNotifyEventsSet Events);

private:
    void Register();
    void Unregister();
    void WndProc(framework::TMessage& Message);
    void Report(const TUtShellReport& Report, uint32_t Event);
    void Deliver();
    void Fire(LPCITEMIDLIST First, LPCITEMIDLIST Second, uint32_t Event);

    bool FActive = false;
    TUtNotifyEventsSet FNotifyEvents = kAllNotifyEvents;
    TUtSpecialRootFolder FSpecialWatchFolder = sfNone;
    std::string FWatchFolder;
    bool FWatchSubFolders = false;
    LPITEMIDLIST FWatchIDList = nullptr;
    bool FRegistered = false;
    framework::HWND FHandle = 0;
    std::unique_ptr<platform::TChangeNotifier> FNotifier;
    std::unique_ptr<TUtDQue> FQueue;
    TUtNotifyEventsSet FEvents = 0;
    std::unique_ptr<TUtCustomShellController> FController;
};

class TUtShellNotification : public TUtCustomShellNotification {
public:
    using TUtCustomShellNotification::TUtCustomShellNotification;
};

}  // namespace sysutil
