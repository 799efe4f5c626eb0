// What the end-to-end tests share: a temporary folder with its own copy of velmora.exe
// (so its settings file lands there), the two programs started and stopped, and the
// settings file read back.
#pragma once
#include <windows.h>

#include <string>

#include "tests/e2e/probe.h"

namespace e2e {

// The folder of the running test program, where velmora.exe and simhost.exe are built.
std::string BinDir();

// A fresh folder under the temporary folder, removed with everything in it at the end.
struct TempFolder {
  std::string path;
  TempFolder();
  ~TempFolder();
  std::string File(const char* name) const { return path + "\\" + name; }
};

void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// A started program; Stop ends it if it still runs.
struct Process {
  PROCESS_INFORMATION pi = {};
  bool Start(const std::string& exe, const std::string& args, const std::string& folder);
  int Wait(DWORD timeoutMs);    // exit code, or -1 when it still runs
  void Stop();
  ~Process() { Stop(); }
};

// One value of the settings file, through the platform's own reader; empty if absent.
std::string IniValue(const std::string& ini, const char* section, const char* key);

// simhost with a scenario file, and velmora copied into folder and started there.
// StartVelmora waits for its main window and attaches the probe to it.
struct Session {
  TempFolder folder;
  Process simhost;
  Process velmora;
  probe::Target target = {};

  // extraArgs: more of simhost's options, such as a fault ("--answer 0").
  bool StartSimhost(const std::string& scenarioText, const std::string& extraArgs = "");
  bool StartVelmora();
  HWND List() const { return probe::FindList(target.window); }
  // Waits until the list exists (the first refresh has run).
  HWND WaitList(DWORD timeoutMs);
  // Exit through File > Exit; the exit code.
  int Exit();
  ~Session();
};

}  // namespace e2e
