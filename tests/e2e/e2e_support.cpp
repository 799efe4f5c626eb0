#include "tests/e2e/e2e_support.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace e2e {

std::string BinDir() {
  char exe[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return ".";
  char* slash = strrchr(exe, '\\');
  if (slash) *slash = '\0';
  return exe;
}

TempFolder::TempFolder() {
  static int serial;
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  char name[MAX_PATH];
  snprintf(name, sizeof(name), "%svelmora-e2e-%lu-%d", base, GetCurrentProcessId(), ++serial);
  path = name;
  CreateDirectoryA(path.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(File(fd.cFileName).c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(path.c_str());
}

void WriteFile(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

std::string ReadFile(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, n);
  fclose(f);
  return text;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Process::Start(const std::string& exe, const std::string& args, const std::string& folder) {
  std::string line = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
  std::vector<char> cmd(line.begin(), line.end());
  cmd.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  return CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &si, &pi) != 0;
}

int Process::Wait(DWORD timeoutMs) {
  if (!pi.hProcess) return -1;
  return probe::WaitExit(pi.hProcess, timeoutMs);
}

void Process::Stop() {
  if (!pi.hProcess) return;
  if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 10000);
  }
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  pi = PROCESS_INFORMATION();
}

std::string IniValue(const std::string& ini, const char* section, const char* key) {
  char value[256];
  GetPrivateProfileStringA(section, key, "", value, sizeof(value), ini.c_str());
  return value;
}

bool Session::StartSimhost(const std::string& scenarioText, const std::string& extraArgs) {
  std::string scenario = folder.File("scene.txt");
  WriteFile(scenario, scenarioText);
  if (!simhost.Start(BinDir() + "\\simhost.exe", "--scenario \"" + scenario + "\" " + extraArgs,
                     folder.path))
    return false;
  // Ready once its window is there for Velmora to find.
  return probe::WaitFor([] { return FindWindowA("FS98MAIN01", nullptr) != nullptr; }, 15000);
}

bool Session::StartVelmora() {
  std::string exe = folder.File("velmora.exe");
  if (!CopyFileA((BinDir() + "\\velmora.exe").c_str(), exe.c_str(), FALSE)) return false;
  if (!velmora.Start(exe, "", folder.path)) return false;
  HWND window = probe::FindMainWindow(velmora.pi.dwProcessId, 15000);
  if (!window || !probe::Attach(window, &target)) return false;
  // The creation handler has shown the window by the time it is visible.
  return probe::WaitFor([&] { return IsWindowVisible(window) != 0; }, 15000);
}

HWND Session::WaitList(DWORD timeoutMs) {
  HWND list = nullptr;
  probe::WaitFor([&] { return (list = List()) != nullptr && probe::RowCount(list) > 0; },
                 timeoutMs);
  return list;
}

int Session::Exit() {
  probe::PostCommand(target, 101);
  return velmora.Wait(15000);
}

Session::~Session() {
  probe::Close(&target);
  velmora.Stop();
  simhost.Stop();
  // The next test must not find this simulator's window.
  probe::WaitFor([] { return FindWindowA("FS98MAIN01", nullptr) == nullptr; }, 10000);
}

}  // namespace e2e
