// Printing the traffic table as shown: landscape, page by page, with a progress dialog.
#pragma once
#include <windows.h>

namespace print {

// With release set: frees the remembered printer choice. Otherwise runs one job.
void PrintTable(bool release);

// The modeless progress dialog while a job runs, else null; the message loop offers
// it every message first.
extern HWND PrintDialog;

}  // namespace print
