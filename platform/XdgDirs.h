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

// $XDG_DATA_HOME (default ~/.local/share) and $XDG_CONFIG_HOME (default ~/.config); a relative
// value is ignored, as the base-directory rules say.
std::string XdgDataHome();
std::string XdgConfigHome();

// A folder of the user-dirs file ($XDG_CONFIG_HOME/user-dirs.dirs), named by its key without the
// "XDG_" and "_DIR" ("DESKTOP", "DOCUMENTS", "TEMPLATES"): the line's "$HOME/…" or absolute value,
// else ~/Fallback when the file has no usable line for it.
std::string UserDirFolder(const std::string& key, const std::string& fallback);

// The user's home folder: $HOME, else the password database's entry, else "/tmp".
std::string UserHomeFolder();

}  // namespace platform
