#pragma once

#include <string>

// Where the program finds itself and where a person's own files go: the parts of the
// path rules that differ between Linux and Windows.
namespace brindlecot::platform {

// The folder of the running executable, "." when the system cannot tell.
std::string ExecutableFolder();

// True when this process may create files in `folder`.
bool FolderWritable(const std::string& folder);

// The person's configuration folder, with "/" between names: $XDG_CONFIG_HOME or
// ~/.config on Linux, %APPDATA% on Windows. Empty when none is known.
std::string UserConfigBase();

// The person's folder for state kept between runs (drafts): $XDG_STATE_HOME or
// ~/.local/state on Linux, %LOCALAPPDATA% on Windows. Empty when none is known.
std::string UserStateBase();

}  // namespace brindlecot::platform
