#include "shell/profile.h"

#include "shell/settings.h"

namespace shell {

int ReadProfileValue(void*, const char* section, const char* key, char* buf, int size) {
  if (size <= 0) return 0;
  return (int)GetPrivateProfileStringA(section, key, "", buf, (DWORD)size, SettingsFile);
}

// A settings file the user has made read-only stays as it is. Windows refuses such a
// write by itself; Wine run as root lets it through.
void WriteProfileValue(void*, const char* section, const char* key, const char* value) {
  DWORD attributes = GetFileAttributesA(SettingsFile);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return;
  WritePrivateProfileStringA(section, key, value, SettingsFile);
}

void LoadSettingsFile(HINSTANCE instance) {
  char module[MAX_PATH] = "";
  GetModuleFileNameA(instance, module, MAX_PATH);
  module[MAX_PATH - 1] = '\0';   // older systems leave a cut path unterminated
  SettingsPathFor(module, SettingsFile);
  LoadSettings(ReadProfileValue, nullptr);
}

void SaveSettingsFile() {
  SaveSettings(WriteProfileValue, nullptr);
}

}  // namespace shell
