#pragma once

#include <string>
#include <string_view>

namespace brindlecot {

// Every relative file name of the program (conf/..., language/..., driver/..., keyConf)
// is resolved against the folder of the running executable, never the current directory.

// The folder of the running executable (as the system reports it), or the folder set with
// SetAppFolder.
const std::string& AppFolder();

// Replaces the executable's folder; tests use it to point at a folder of their own.
void SetAppFolder(std::string folder);

// The folder joined with `name` by "/"; the folder alone when `name` is empty.
std::string AppPath(std::string_view name);

// True when this process may create files in the executable's folder: the portable
// folder a clerk unpacked, as opposed to an installed package's folder owned by root.
bool AppFolderWritable();

// The program's folder under the person's configuration folder:
// $XDG_CONFIG_HOME/brindlecot, or ~/.config/brindlecot when XDG_CONFIG_HOME is unset,
// empty or not absolute. Where files that the program writes go when its own folder is
// not writable. Empty when not even a home folder is known.
std::string UserConfigFolder();

// The program's folder for state kept between sessions (drafts of unexported rows):
// $XDG_STATE_HOME/brindlecot, or ~/.local/state/brindlecot, under the same rules.
std::string UserStateFolder();

// Creates `folder` and any missing folder above it, each new one owner-only (0700): the
// folders under the person's home hold their key and their drafts. True when it exists.
bool MakeOwnerOnlyFolders(const std::string& folder);

}  // namespace brindlecot
