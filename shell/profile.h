// The settings file on disk: the private-profile functions over shell::SettingsFile.
#pragma once
#include <windows.h>

namespace shell {

// The settings reader and writer of settings.h, on the file named by SettingsFile. The
// context is not used.
int ReadProfileValue(void* context, const char* section, const char* key, char* buf,
                     int size);
void WriteProfileValue(void* context, const char* section, const char* key,
                       const char* value);

// Start-up: finds the settings file beside the program's executable and reads it.
void LoadSettingsFile(HINSTANCE instance);
// Shutdown: writes the view mode, the sort column and the column sections that are due.
void SaveSettingsFile();

}  // namespace shell
