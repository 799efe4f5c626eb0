// A settings file of a test's own: velmora.ini in a fresh folder under the temporary
// folder, so that no test sees another's file.
#pragma once

#include <string>

// Makes the folder (named for `tag`, the process and a serial number) and points
// SettingsFile at velmora.ini inside it. Nonzero on success; `folder` is named either way.
int MakeSettingsFolder(const char* tag, std::string* folder, std::string* path);

// Drops the profile functions' cache of the file, then deletes it and its folder.
void RemoveSettingsFolder(const std::string& folder, const std::string& path);
