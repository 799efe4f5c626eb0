#include "tests/win32/simhost_process.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

std::string SimhostPath() {
  const char* bin = getenv("VELMORA_BIN");
  std::string dir;
  if (bin && *bin) {
    dir = bin;
    if (dir[0] == '/') dir = "Z:" + dir;   // a Unix path, seen through Wine's drive Z:
  } else {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    dir.assign(self, n);
    dir = dir.substr(0, dir.find_last_of("\\/"));
  }
  return dir + "\\simhost.exe";
}

HWND WindowOf(DWORD pid, const char* className) {
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, className, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

int StartSimhost(SimhostProcess* host, const std::string& args, const char* className) {
  *host = SimhostProcess();
  std::string command = "\"" + SimhostPath() + "\" " + args;
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &host->process))
    return 0;
  for (int i = 0; i < 600 && !(host->server && host->status); ++i) {
    host->server = WindowOf(host->process.dwProcessId, className);
    host->status = WindowOf(host->process.dwProcessId, "SimhostStatus");
    if (WaitForSingleObject(host->process.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  return host->server && host->status;
}

long WaitSimhost(const SimhostProcess* host, DWORD ms) {
  if (!host->process.hProcess) return -1;
  if (WaitForSingleObject(host->process.hProcess, ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(host->process.hProcess, &code);
  return long(code);
}

void StopSimhost(SimhostProcess* host) {
  if (!host->process.hProcess) return;
  if (WaitForSingleObject(host->process.hProcess, 0) != WAIT_OBJECT_0) {
    if (host->status) PostMessageA(host->status, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(host->process.hProcess, 10000) != WAIT_OBJECT_0)
      TerminateProcess(host->process.hProcess, 99);
    WaitForSingleObject(host->process.hProcess, INFINITE);
  }
  CloseHandle(host->process.hProcess);
  CloseHandle(host->process.hThread);
  host->process.hProcess = nullptr;
}

std::string TempPath(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  char path[MAX_PATH];
  snprintf(path, sizeof path, "%svelmora_test_%lu_%s", dir, GetCurrentProcessId(), name);
  return path;
}

std::string ReadFileText(const std::string& path) {
  std::string text;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return text;
  char buf[4096];
  DWORD got;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
  CloseHandle(f);
  return text;
}

int WriteFileText(const std::string& path, const std::string& text) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  WriteFile(f, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(f);
  return written == text.size();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}
