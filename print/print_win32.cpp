// The print job: printer choice, fonts, the page header and the rows read back from
// the traffic list, the abort procedure and the modeless progress dialog.
#include "print/print.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "link/channel.h"
#include "print/pagelayout.h"
#include "shell/about.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "table/columns.h"
#include "table/list.h"

// The records as 32-bit Windows lays them out (the common dialog structures are packed
// there); the 64-bit build has its own sizes and sizeof covers both.
static_assert(sizeof(void*) != 4 || sizeof(PRINTDLGA) == 66, "PRINTDLGA is 66 bytes");
static_assert(sizeof(void*) != 4 || sizeof(DOCINFOA) == 20, "DOCINFOA is 20 bytes");

namespace print {

HWND PrintDialog = nullptr;

static const char kDocumentName[] = "FS2002 AI Aircraft Details";
static const int kIdTextBytes = 4;      // enough to tell an empty ID cell
static const int kCellTextMax = 80;     // characters read per cell, NUL included
static const int kCellBufferBytes = 512;
static const int kHeaderTextBytes = 256;

// The printer choice, kept for the whole process so each dialog opens with the last
// one. Zero until the first job.
static PRINTDLGA PrintSetup;

static PageLayout Page;
static HFONT NormalFont;
static HFONT BoldFont;
static bool PrintCancelled;
static bool JobRunning;
static HBRUSH DialogBrush;   // the progress dialog's face colour

static void Report(DWORD code, const char* text) {
  simlink::ReportError(shell::MainWindow, (int32_t)code, text);
}

// A page or document call that failed. Once the user has cancelled, the calls that
// fail do so because of the cancel, which is not an error to tell the user about.
static void ReportJobFailure(DWORD code, const char* text) {
  if (!PrintCancelled) Report(code, text);
}

// The column order of the current view mode, made a permutation of all columns.
static void CurrentOrder(int32_t order[table::kColumns]) {
  table::RepairOrder(table::Layouts[shell::ViewMode == 1 ? 1 : 0].order, order);
}

// Reads one cell of the list into buf, at most cchTextMax - 1 characters. The list may
// hand back a pointer to its own copy instead of filling buf; that is copied, bounded.
static bool ReadCell(int row, int column, char* buf, int cchTextMax) {
  buf[0] = '\0';
  if (!table::TrafficList) return false;
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = buf;
  item.cchTextMax = cchTextMax;
  if (!SendMessageA(table::TrafficList, LVM_GETITEMA, 0, (LPARAM)&item)) return false;
  if (item.pszText != buf) {
    bool text = item.pszText && item.pszText != LPSTR_TEXTCALLBACKA;
    snprintf(buf, cchTextMax, "%s", text ? item.pszText : "");
  }
  return true;
}

static void PrintText(HDC dc, int x, int y, const char* text) {
  TextOutA(dc, x, y, text, (int)strlen(text));
}

// Nine-point Arial for the printer: attributes 1 bold, 2 italic, 4 underline,
// 8 strike-out. The width is set so that characters keep their shape on a device whose
// horizontal and vertical resolutions differ.
static HFONT CreatePrintFont(HDC dc, int attributes) {
  SaveDC(dc);
  SetGraphicsMode(dc, GM_ADVANCED);
  ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);

  FontPoint size = NinePointSize(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, HORZSIZE),
                                 GetDeviceCaps(dc, VERTRES), GetDeviceCaps(dc, VERTSIZE));
  POINT pt = {size.x, size.y};
  DPtoLP(dc, &pt, 1);
  size.x = pt.x;
  size.y = pt.y;

  LOGFONTA lf = {};
  lf.lfHeight = PrintFontHeight(size);
  lf.lfWeight = (attributes & 1) ? FW_BOLD : 0;
  lf.lfItalic = (attributes & 2) ? 1 : 0;
  lf.lfUnderline = (attributes & 4) ? 1 : 0;
  lf.lfStrikeOut = (attributes & 8) ? 1 : 0;
  snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", "Arial");

  HFONT first = CreateFontIndirectA(&lf);
  HGDIOBJ previous = SelectObject(dc, first);
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, previous);
  DeleteObject(first);

  lf.lfWidth = PrintFontWidth(size, tm.tmAveCharWidth);
  HFONT font = CreateFontIndirectA(&lf);
  RestoreDC(dc, -1);
  return font;
}

// Starts a page and prints its header: title, page number, rule and the bold column
// heads. 0 when the page could not be started (reported, document aborted).
static int PrintPageHeader(HDC dc) {
  if (StartPage(dc) <= 0) {
    ReportJobFailure(GetLastError(), "in printing's StartPage");
    AbortDoc(dc);
    return 0;
  }
  HeaderLines lines = HeaderGeometry(Page);
  SetTextAlign(dc, TA_LEFT | TA_TOP);
  Page.y = lines.title;
  SelectObject(dc, BoldFont);
  Page.pageNumber++;

  char text[kHeaderTextBytes];
  snprintf(text, sizeof text, "FS A.I. Aircraft Details - %s",
           table::ViewModeName(shell::ViewMode));
  PrintText(dc, Page.leftMargin, Page.y, text);
  snprintf(text, sizeof text, "Page %d", Page.pageNumber);
  SetTextAlign(dc, TA_RIGHT | TA_TOP);
  PrintText(dc, Page.rightLimit, Page.y, text);

  // A rule four pixels thick in the default pen.
  Page.y = lines.rule;
  for (int i = 0; i < 4; ++i) {
    MoveToEx(dc, Page.leftMargin, Page.y + i, nullptr);
    LineTo(dc, Page.rightLimit, Page.y + i);
  }

  Page.y = lines.heads;
  SetTextAlign(dc, TA_LEFT | TA_TOP);
  int32_t order[table::kColumns];
  int32_t left[table::kColumns];
  CurrentOrder(order);
  int n = FitColumns(Page, order, left);
  for (int p = 0; p < n; ++p) PrintText(dc, left[p], Page.y, table::NameTable[order[p]]);

  Page.y = lines.firstRow;
  SetTextAlign(dc, TA_LEFT | TA_TOP);
  SelectObject(dc, NormalFont);
  return 1;
}

static BOOL CALLBACK PrintAbortProc(HDC dc, int code);

// Prints the row at this index of the list's current order: 0 to go on, 1 to stop
// (the first blank row of a list sorted by anything but Slot), -1 when a new page
// could not be started or the user has cancelled.
static int PrintRow(HDC dc, int row) {
  char id[kIdTextBytes];
  if (!ReadCell(row, table::ColId, id, sizeof id)) return 0;
  if (shell::SortColumn != 0 && id[0] == '\0') return 1;

  if (PageFull(Page)) {
    EndPage(dc);   // a failure here shows at the StartPage that follows
    // Not every printing system calls the abort procedure while pages are printed
    // (Wine's asks it only in StartDoc), so the job asks it at each page break: the
    // progress dialog gets its Cancel, and the job stops here once it was pressed.
    if (!PrintAbortProc(dc, 0)) return -1;
    if (!PrintPageHeader(dc)) return -1;
  }

  int32_t order[table::kColumns];
  int32_t left[table::kColumns];
  CurrentOrder(order);
  int n = FitColumns(Page, order, left);
  for (int p = 0; p < n; ++p) {
    char text[kCellBufferBytes];
    if (ReadCell(row, order[p], text, kCellTextMax)) PrintText(dc, left[p], Page.y, text);
  }
  Page.y += Page.lineHeight;
  return 0;
}

// Called by the printing system while the job runs: keeps the thread's windows alive,
// the progress dialog's Cancel included, and stops the job once it has been pressed.
static BOOL CALLBACK PrintAbortProc(HDC, int) {
  MSG msg;
  while (!PrintCancelled && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The program is ending: leave the quit for the main message loop.
      PostQuitMessage((int)msg.wParam);
      break;
    }
    if (PrintDialog && IsDialogMessageA(PrintDialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return !PrintCancelled;
}

// The progress dialog.

static INT_PTR OnInitDialog(HWND dialog) {
  DialogBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  SetWindowTextA(dialog, "Velmora");
  EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  return 1;
}

// Every command cancels: the Cancel button, Enter and Escape.
static INT_PTR OnCommand(HWND dialog) {
  PrintCancelled = true;
  EnableWindow(shell::MainWindow, TRUE);
  DestroyWindow(dialog);
  PrintDialog = nullptr;
  return 1;
}

static INT_PTR OnCtlColorStatic(HWND dialog, HDC dc) {
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  UnrealizeObject(DialogBrush);
  POINT origin = {0, 0};
  ClientToScreen(dialog, &origin);
  SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
  return (INT_PTR)DialogBrush;
}

static void DeleteDialogBrush() {
  if (DialogBrush) DeleteObject(DialogBrush);
  DialogBrush = nullptr;
}

static INT_PTR OnSysColorChange() {
  DeleteDialogBrush();
  DialogBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  return 0;
}

static INT_PTR OnPaint(HWND dialog) {
  PAINTSTRUCT ps;
  BeginPaint(dialog, &ps);
  EndPaint(dialog, &ps);
  return 0;
}

static INT_PTR CALLBACK PrintDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_COMMAND:
      return OnCommand(dialog);
    case WM_DRAWITEM:
      shell::DrawDialogFrame((UINT)wParam, (const DRAWITEMSTRUCT*)lParam, DialogBrush);
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(dialog, (HDC)wParam);
    case WM_SYSCOLORCHANGE:
      return OnSysColorChange();
    case WM_PAINT:
      return OnPaint(dialog);
    case WM_DESTROY:
      DeleteDialogBrush();
      return 0;
  }
  return 0;
}

// The job.

static void ReleaseSetup() {
  if (PrintSetup.hDevMode) GlobalFree(PrintSetup.hDevMode);
  if (PrintSetup.hDevNames) GlobalFree(PrintSetup.hDevNames);
  PrintSetup.hDevMode = nullptr;
  PrintSetup.hDevNames = nullptr;
}

// A failed or cancelled print dialog: only a failure says something.
static void DialogFailed() {
  DWORD code = CommDlgExtendedError();
  if (code) Report(code, "calling Print dialogue");
}

// The default printer in landscape, the first time only.
static int ChooseDefaultPrinter() {
  memset(&PrintSetup, 0, sizeof PrintSetup);
  PrintSetup.lStructSize = sizeof PrintSetup;
  PrintSetup.hwndOwner = shell::MainWindow;
  PrintSetup.hInstance = shell::Instance;
  PrintSetup.nCopies = 1;
  PrintSetup.Flags = PD_RETURNDEFAULT;
  if (!PrintDlgA(&PrintSetup)) return 0;
  if (PrintSetup.hDevMode) {
    DEVMODEA* mode = (DEVMODEA*)GlobalLock(PrintSetup.hDevMode);
    if (mode) {
      mode->dmOrientation = DMORIENT_LANDSCAPE;
      mode->dmFields |= DM_ORIENTATION;
      GlobalUnlock(PrintSetup.hDevMode);
    }
  }
  return 1;
}

// Prints every row from the top of the list until a row asks to stop. 0 when a page
// could not be started (the document is then aborted).
static int PrintRows(HDC dc) {
  int rows = table::TrafficList ? (int)SendMessageA(table::TrafficList, LVM_GETITEMCOUNT, 0, 0)
                                : 0;
  for (int row = 0; row < rows; ++row) {
    int result = PrintRow(dc, row);
    if (result > 0) break;
    if (result < 0) {
      AbortDoc(dc);
      return 0;
    }
  }
  return 1;
}

static void PrintDocument(HDC dc) {
  DOCINFOA doc = {};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = kDocumentName;
  if (StartDocA(dc, &doc) <= 0) {
    ReportJobFailure(GetLastError(), "in printing's StartDoc");
    return;
  }
  if (!PrintPageHeader(dc)) return;
  if (!PrintRows(dc)) return;
  if (EndPage(dc) <= 0) {
    ReportJobFailure(GetLastError(), "in printing's EndPage");
    AbortDoc(dc);
    return;
  }
  if (EndDoc(dc) <= 0) ReportJobFailure(GetLastError(), "in printing's EndDoc");
}

static void RunJob() {
  Page.pageNumber = 0;
  if (!PrintSetup.hDevMode && !PrintSetup.hDevNames && !ChooseDefaultPrinter()) {
    DialogFailed();
    return;
  }
  PrintSetup.hwndOwner = shell::MainWindow;
  PrintSetup.hDC = nullptr;
  PrintSetup.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_USEDEVMODECOPIESANDCOLLATE |
                     PD_HIDEPRINTTOFILE;
  if (!PrintDlgA(&PrintSetup) || !PrintSetup.hDC) {
    DialogFailed();
    return;
  }
  HDC dc = PrintSetup.hDC;
  PrintSetup.hDC = nullptr;   // the job owns it and deletes it
  int logPixelsY = GetDeviceCaps(dc, LOGPIXELSY);
  int logPixelsX = GetDeviceCaps(dc, LOGPIXELSX);

  NormalFont = CreatePrintFont(dc, 0);
  BoldFont = CreatePrintFont(dc, 1);

  HGDIOBJ originalFont = SelectObject(dc, NormalFont);
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  SetTextAlign(dc, TA_LEFT | TA_TOP);
  Page = MakePageLayout(logPixelsX, logPixelsY, GetDeviceCaps(dc, HORZRES),
                        GetDeviceCaps(dc, VERTRES), tm.tmHeight + tm.tmExternalLeading,
                        tm.tmAveCharWidth);

  EnableWindow(shell::MainWindow, FALSE);
  PrintCancelled = false;
  PrintDialog = CreateDialogParamA(shell::Instance, "PrintDlgBox", shell::MainWindow,
                                   PrintDlgProc, 0);
  SetAbortProc(dc, PrintAbortProc);

  PrintDocument(dc);

  // Neither font may be selected into the device context when it is deleted.
  SelectObject(dc, originalFont);
  DeleteObject(NormalFont);
  DeleteObject(BoldFont);
  NormalFont = nullptr;
  BoldFont = nullptr;
  DeleteDC(dc);

  // A cancel has already enabled the main window and destroyed the dialog.
  if (!PrintCancelled) {
    EnableWindow(shell::MainWindow, TRUE);
    if (PrintDialog) DestroyWindow(PrintDialog);
    PrintDialog = nullptr;
  }
}

void PrintTable(bool release) {
  if (release) {
    ReleaseSetup();
    return;
  }
  // The print dialog and the abort procedure dispatch messages; a Print command that
  // reaches the main window that way must not start a second job inside this one.
  if (JobRunning) return;
  JobRunning = true;
  RunJob();
  JobRunning = false;
}

}  // namespace print
