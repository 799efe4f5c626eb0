// simhost.exe, the stand-in simulator, started by a test in a process of its own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct SimhostProcess {
  PROCESS_INFORMATION process;
  HWND server;   // the simulator's window, of the class asked for
  HWND status;   // simhost's own window: the Faults commands, and WM_CLOSE to end it
};

// simhost.exe in the build folder, VELMORA_BIN, else beside this program.
std::string SimhostPath();

// A top-level window of that class belonging to the process, or null.
HWND WindowOf(DWORD pid, const char* className);

// Starts simhost with the arguments and waits up to 30 s for both its windows.
// Nonzero when both appeared; the process (if started) is the caller's to stop.
int StartSimhost(SimhostProcess* host, const std::string& args,
                 const char* className = "FS98MAIN01");

// Its exit code once it has ended within `ms`, or -1 while it still runs.
long WaitSimhost(const SimhostProcess* host, DWORD ms);

// Ends it through its status window (or, failing that, ends the process), waits until it
// has gone and closes the handles. Does nothing for one not started or already stopped.
void StopSimhost(SimhostProcess* host);

// The files a test hands simhost or reads back from it (a scenario, a request log):
// a path for `name` in the temporary folder, unique to this process.
std::string TempPath(const char* name);

// The whole file as text; empty when it cannot be read.
std::string ReadFileText(const std::string& path);

// Writes the text as the whole file. Nonzero when all of it was written.
int WriteFileText(const std::string& path, const std::string& text);

// The text's lines without their line ends, blank lines kept.
std::vector<std::string> Lines(const std::string& text);
