#pragma once
// "Start with the session": an XDG autostart entry ($XDG_CONFIG_HOME/autostart, by default
// ~/.config/autostart) that starts the program when the user's desktop session starts.
#include <string>

namespace tendrix::accounts {

// The autostart directory (ending in '/'), "" when neither XDG_CONFIG_HOME nor HOME is set.
std::string AutostartDir();
// The entry's full path: AutostartDir() + "tendrix.desktop".
std::string AutostartEntryPath();
// The .desktop text for the program `exec_path` titled `name`.
std::string AutostartEntryText(const std::string& exec_path, const std::string& name);
// on: writes the entry (creating the directory); off: deletes it. False when that failed.
bool SetSessionAutostart(bool on, const std::string& exec_path, const std::string& name);
bool SessionAutostartExists();

// Starts the on-screen keyboard: the command line of the setting sysSoftKeyboardCommand, split
// like a shell would split words (no shell runs), detached. False when it could not start.
bool StartOnScreenKeyboard(const std::string& command_line);

}  // namespace tendrix::accounts
