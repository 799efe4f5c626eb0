#include <windows.h>
#include <commctrl.h>

#include "shell/app.h"
#include "shell/profile.h"
#include "shell/settings.h"
#include "table/columns.h"
#include "table/list.h"

namespace shell {

static const char kWindowSection[] = "Window";

void RestorePlacement(HWND window) {
  char text[kValueBytes];
  int n = ReadProfileValue(nullptr, kWindowSection, table::ViewModeName(ViewMode), text,
                           sizeof text);
  Placement p = ParsePlacement(text, n, GetSystemMetrics(SM_CXSCREEN),
                               GetSystemMetrics(SM_CYSCREEN));
  SetWindowPos(window, HWND_TOP, p.left, p.top, p.width, p.height, SWP_SHOWWINDOW);
}

void SavePlacement(HWND window) {
  // A minimized window's rectangle lies far off the screen; storing it would make the
  // next start open the window where nobody can see it. The restored rectangle is
  // written when the window comes back.
  RECT r;
  if (!IsIconic(window) && GetWindowRect(window, &r)) {
    char text[kValueBytes];
    FormatPlacement(r.left, r.top, r.right, r.bottom, text);
    WriteProfileValue(nullptr, kWindowSection, table::ViewModeName(ViewMode), text);
  }

  int mode = ViewMode == 1 ? 1 : 0;
  table::ColumnLayout& layout = table::Layouts[mode];
  if (table::TrafficList) {
    for (int i = 0; i < table::kColumns; ++i) {
      int width = (int)SendMessageA(table::TrafficList, LVM_GETCOLUMNWIDTH, (WPARAM)i, 0);
      if (width != 0) layout.widths[i] = width;
    }
  }
  if (!table::SeparateLayouts) {
    for (int i = 0; i < table::kColumns; ++i)
      table::Layouts[1 - mode].widths[i] = layout.widths[i];
  }
}

}  // namespace shell
