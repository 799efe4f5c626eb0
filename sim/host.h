// simhost's server thread: the simulator's window (class FS98MAIN01 or FS98MAIN), the
// registered message "FsasmLib:IPC" and the state table it serves, on a thread of its
// own so that a held request (a fault) never freezes simhost's own window.
#pragma once
#include <windows.h>
#include <cstdint>

#include "sim/options.h"
#include "sim/scene.h"
#include "sim/traffic.h"

namespace sim {

// What the status window shows; copied out under a lock.
struct HostStatus {
  uint32_t requests;          // messages received
  uint32_t answeredOne;       // answered 1
  uint32_t answeredOther;     // answered anything else
  int aircraft[2];            // occupied slots, by list (airborne, ground)
  int slotCount[2];           // SlotCount and RecordLength as served, by list
  int recordLength[2];
  uint16_t nearest[2];        // NearestDistance as served, by list
  double trafficSeconds;      // the live traffic's clock
  char lastRequest[200];
  char lastFault[200];
};

struct HostSetup {
  const Options* options;
  const Scene* frozen;        // the frozen scene, or null for live traffic
  Traffic* traffic;           // the live traffic, warmed up; the thread owns it from now
  HWND statusWindow;          // receives WM_CLOSE when the server window ends
};

// Starts the server thread and waits until its window exists. Nonzero on success.
int StartHost(const HostSetup* setup);

// Ends any held request, closes the server window and waits for the thread.
void StopHost();

void ReadHostStatus(HostStatus* status);
void ReadHostFaults(Faults* faults);
// Replaces the faults from the next request on; a held request is let go and served.
void SetHostFaults(const Faults* faults);

}  // namespace sim
