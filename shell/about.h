// The About box, and the etched frame that both of the program's dialogs paint.
#pragma once
#include <windows.h>

namespace shell {

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Paints the face-coloured dialog with a recessed rectangle inside its edges, for the
// owner-drawn frame button 108; any other identifier or action draws nothing.
void DrawDialogFrame(UINT id, const DRAWITEMSTRUCT* item, HBRUSH fillBrush);

const int kFrameId = 108;

}  // namespace shell
