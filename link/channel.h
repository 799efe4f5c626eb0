// The IPC channel to the simulator's server: its window, the registered message and
// the shared section whose name travels as a global atom; and the one error box
// through which the program reports every failure.
#pragma once
#include <windows.h>
#include <cstdint>

namespace simlink {

// The warning box "Velmora Error"; returns when the user has closed it.
void ReportError(HWND owner, int32_t code, const char* text);

HWND FindSimulatorWindow();
bool OpenChannel(HWND simulatorWindow);
bool Transact();
// Builds the request for the current view mode and sends it, five tries at most.
bool RequestSnapshot();
void CloseChannel();

// The shared view while the channel is open, else null.
uint8_t* ChannelView();
// -1 once a send has failed since start, else 0.
int32_t ChannelSendFailed();

}  // namespace simlink
