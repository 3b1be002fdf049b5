#pragma once
// Where the program keeps its files: the settings file in the user's
// configuration folder, the single-instance lock in the runtime folder.
#include <string>

namespace pelican {

// The base name the settings file is named after ("pelican" unless set).
void SetApplicationName(const std::string& name);
const std::string& ApplicationName();

// $XDG_CONFIG_HOME, else ~/.config.
std::string ConfigDirectory();
// <config>/<name>, with the system's own separator.
std::string ConfigFilePath(const std::string& name);
// <config>/<application>.INI
std::string SettingsFilePath();
// $XDG_RUNTIME_DIR when it is an absolute path, else the system's temporary
// folder; shared (when given) tells whether it is that folder, which every
// user of the machine shares.
std::string RuntimeDirectory(bool* shared = nullptr);

}  // namespace pelican
