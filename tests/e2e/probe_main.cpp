// probe.exe: reads and drives a running Velmora from the command line (the demo script
// uses it; so can anyone looking at Velmora under Wine).
//
//   probe title                 the main window's title
//   probe table                 every cell, one row a line, cells separated by tabs
//   probe order                 the column identifiers in display order
//   probe menu ID               the menu item's state (8 = checked)
//   probe command ID            posts menu command ID (101 Exit ... 107 Airborne)
//   probe click COLUMN          clicks the header of column COLUMN (0 = Slot)
//   probe box [CAPTION]         prints the text of Velmora's box and presses its OK
//
// With --desktop NAME first, it looks in that desktop (for instance the one that
// "wine explorer /desktop=NAME,WxH velmora.exe" made) instead of its own.
//
// It waits up to 15 s for Velmora's window. Exit code 0 on success, 1 otherwise.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/e2e/probe.h"

namespace {

int Usage() {
  fprintf(stderr, "usage: probe [--desktop NAME] title|table|order|menu ID|command ID|click COLUMN|box [CAPTION]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "--desktop") == 0) {
    HDESK desktop = OpenDesktopA(argv[2], 0, FALSE, GENERIC_ALL);
    if (!desktop || !SetThreadDesktop(desktop)) {
      fprintf(stderr, "probe: cannot open desktop %s\n", argv[2]);
      return 1;
    }
    argc -= 2;
    argv += 2;
  }
  if (argc < 2) return Usage();
  const char* verb = argv[1];
  const char* arg = argc > 2 ? argv[2] : nullptr;

  HWND window = probe::FindMainWindow(0, 15000);
  if (!window) {
    fprintf(stderr, "probe: no Velmora window\n");
    return 1;
  }
  probe::Target t;
  if (!probe::Attach(window, &t)) {
    fprintf(stderr, "probe: cannot open Velmora's process\n");
    return 1;
  }
  int rc = 0;
  HWND list = probe::FindList(window);
  if (strcmp(verb, "title") == 0) {
    printf("%s\n", probe::WindowText(window).c_str());
  } else if (strcmp(verb, "table") == 0 && list) {
    for (const auto& row : probe::ReadTable(t, list)) {
      for (size_t c = 0; c < row.size(); ++c) printf(c ? "\t%s" : "%s", row[c].c_str());
      printf("\n");
    }
  } else if (strcmp(verb, "order") == 0 && list) {
    int order[17];
    if (!probe::ColumnOrder(t, list, order)) rc = 1;
    for (int i = 0; rc == 0 && i < 17; ++i) printf(i ? " %d" : "%d", order[i]);
    printf("\n");
  } else if (strcmp(verb, "menu") == 0 && arg) {
    int state = probe::MenuState(t, atoi(arg));
    printf("%d\n", state);
    rc = state < 0;
  } else if (strcmp(verb, "command") == 0 && arg) {
    probe::PostCommand(t, atoi(arg));
  } else if (strcmp(verb, "click") == 0 && arg && list) {
    rc = !probe::ClickHeader(t, list, atoi(arg));
  } else if (strcmp(verb, "box") == 0) {
    HWND box = probe::FindBox(t.pid, arg ? arg : "Velmora Error", 15000);
    if (box) {
      printf("%s\n", probe::BoxText(box).c_str());
      probe::PressOk(box);
    } else {
      rc = 1;
    }
  } else {
    rc = list ? Usage() : (fprintf(stderr, "probe: no traffic list yet\n"), 1);
  }
  probe::Close(&t);
  return rc;
}
