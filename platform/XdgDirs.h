#pragma once
// The per-user folders of the freedesktop base-directory rules, as this system uses them.

#include <string>

namespace platform {

// $XDG_CONFIG_HOME/korvane (default ~/.config/korvane): where the registry files live.
// Not created here; writers create it.
std::string KorvaneConfigFolder();

// $KORVANE_HOME, else $XDG_DATA_HOME/korvane (default ~/.local/share/korvane): the program's own
// folder (program tables, temporary tables, the help file). Created on first use; a native path
// without a trailing "/".
std::string KorvaneHomeFolder();

// The user's home folder: $HOME, else the password database's entry, else "/tmp".
std::string UserHomeFolder();

}  // namespace platform
