#pragma once
// The remote login of a session: a session that connects to a server asks for a user name and a
// password. Without a handler of its own (OnRemoteLogin) it asks the class library's login dialog,
// which the user-interface library installs here so that the session needs no windows. Without an
// installed dialog the login is refused (Continue false) and the names are left as they were.

#include <functional>
#include <string>

namespace framework {

// Shows the login dialog with the given user name and password; on OK writes the typed ones back
// and answers true (Continue), on Cancel leaves them and answers false.
using TRemoteLoginDialog = std::function<bool(std::string& UserName, std::string& Password)>;

// Installs the dialog; returns the one it replaces (an empty one removes it).
TRemoteLoginDialog SetRemoteLoginDialog(TRemoteLoginDialog Dialog);

// Asks the installed dialog; false without one.
bool AskRemoteLogin(std::string& UserName, std::string& Password);

}  // namespace framework
