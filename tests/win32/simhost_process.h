// simhost.exe, the stand-in simulator, started by a test in a process of its own.
#pragma once

#include <windows.h>

#include <string>

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
