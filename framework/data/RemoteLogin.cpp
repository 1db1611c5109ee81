#include "framework/data/RemoteLogin.h"

#include <utility>

namespace framework {

namespace {
// Function-local so that a dialog installed from another unit's static initialisation finds it.
TRemoteLoginDialog& Installed() {
    static TRemoteLoginDialog dialog;
    return dialog;
}
}  // namespace

TRemoteLoginDialog SetRemoteLoginDialog(TRemoteLoginDialog Dialog) {
    return std::exchange(Installed(), std::move(Dialog));
}

bool AskRemoteLogin(std::string& UserName, std::string& Password) {
    return Installed() ? Installed()(UserName, Password) : false;
}

}  // namespace framework
