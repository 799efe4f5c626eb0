// The About box, and the etched frame that it shares with the print-progress dialog.
//
// Both dialogs carry a disabled owner-drawn button (108) that covers the whole client
// area; painting it fills the dialog with the face colour and draws a recessed outline
// inside its edges, and the other controls stand in front of it.
#include "shell/about.h"

namespace shell {

namespace {

// The About box's face-colour brush: alive exactly while the box is open.
HBRUSH AboutBrush;

void DeleteAboutBrush() {
  if (AboutBrush) {
    DeleteObject(AboutBrush);
    AboutBrush = nullptr;
  }
}

INT_PTR OnInitDialog(HWND dialog) {
  AboutBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  SetWindowTextA(dialog, "Velmora");
  return 1;  // the platform gives the focus to OK, the first tab stop
}

// Only OK (or Enter, through the default button) ends the box; Escape and the close
// box send IDCANCEL, which is ignored on purpose.
INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  if (LOWORD(wParam) != IDOK) return 0;
  DeleteAboutBrush();
  EndDialog(dialog, 1);
  return 1;
}

// Static texts on the face colour, the brush aligned with the dialog's client origin so
// that a patterned face colour would line up with the frame behind the text.
INT_PTR OnCtlColorStatic(HWND dialog, HDC dc) {
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  UnrealizeObject(AboutBrush);
  POINT origin = {0, 0};
  ClientToScreen(dialog, &origin);
  SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
  return reinterpret_cast<INT_PTR>(AboutBrush);
}

INT_PTR OnSysColorChange() {
  DeleteAboutBrush();
  AboutBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  return 0;
}

INT_PTR OnPaint(HWND dialog) {
  PAINTSTRUCT ps;
  BeginPaint(dialog, &ps);
  EndPaint(dialog, &ps);
  return 0;
}

}  // namespace

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_COMMAND:
      return OnCommand(dialog, wParam);
    case WM_DRAWITEM:
      DrawDialogFrame(static_cast<UINT>(wParam),
                      reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), AboutBrush);
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(dialog, reinterpret_cast<HDC>(wParam));
    case WM_SYSCOLORCHANGE:
      return OnSysColorChange();
    case WM_PAINT:
      return OnPaint(dialog);
    case WM_DESTROY:
      DeleteAboutBrush();
      return 0;
  }
  return 0;
}

void DrawDialogFrame(UINT id, const DRAWITEMSTRUCT* item, HBRUSH fillBrush) {
  if (LOWORD(id) != kFrameId || item->itemAction != ODA_DRAWENTIRE) return;
  RECT r = item->rcItem;
  HBRUSH highlight = CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT));
  HBRUSH shadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
  FillRect(item->hDC, &r, fillBrush);
  // The recess: a shadow outline 10 px inside the top-left edges and 12 px inside the
  // bottom-right ones, then a highlight outline one pixel right of and below it.
  r.left += 10;
  r.top += 10;
  r.right -= 12;
  r.bottom -= 12;
  FrameRect(item->hDC, &r, shadow);
  OffsetRect(&r, 1, 1);
  FrameRect(item->hDC, &r, highlight);
  DeleteObject(shadow);
  DeleteObject(highlight);
}

}  // namespace shell
