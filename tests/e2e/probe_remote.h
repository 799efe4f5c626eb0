// The request record that the probe places in Velmora's memory and hands to
// velmora_probe.dll's ProbeRemote on a thread started inside Velmora. Both sides are
// built for the same architecture, so the record is read as it is laid out here.
#pragma once
#include <cstdint>

namespace probe {

enum RemoteOp : uint32_t {
  RemoteMenuState = 1,   // result = GetMenuState(GetMenu(window), arg, MF_BYCOMMAND)
  RemoteBeginDrag = 2,   // result = window's answer to HDN_BEGINDRAG for header item arg
};

struct RemoteRequest {
  uint32_t op;
  int32_t arg;
  uint64_t window;   // Velmora's main window
  int64_t result;
  uint32_t done;     // 1 once the DLL has answered
};

const char kProbeDll[] = "velmora_probe.dll";
const char kProbeEntry[] = "ProbeRemote";

}  // namespace probe
