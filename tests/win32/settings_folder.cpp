#include "tests/win32/settings_folder.h"

#include <windows.h>

#include <cstdio>

#include "shell/settings.h"

int MakeSettingsFolder(const char* tag, std::string* folder, std::string* path) {
  char temp[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, temp)) return 0;
  static int serial = 0;
  char dir[MAX_PATH];
  snprintf(dir, sizeof dir, "%svelmora-%s-%lu-%d", temp, tag, GetCurrentProcessId(),
           ++serial);
  *folder = dir;
  if (!CreateDirectoryA(folder->c_str(), nullptr)) return 0;
  *path = *folder + "\\velmora.ini";
  snprintf(shell::SettingsFile, sizeof shell::SettingsFile, "%s", path->c_str());
  return 1;
}

void RemoveSettingsFolder(const std::string& folder, const std::string& path) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
  DeleteFileA(path.c_str());
  RemoveDirectoryA(folder.c_str());
}
