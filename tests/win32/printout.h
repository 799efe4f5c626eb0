// Printouts for the tests that print for real: the printer is a CUPS-PDF queue that
// scripts/cups-pdf.sh sets up (ctest does so before these tests, and names the queue in
// PRINTER and the script's state folder in VELMORA_CUPS_PDF), and every job ends up as a
// PDF. A test marks the moment before its job; afterwards the same script (a Linux
// program, which Wine starts from here) waits for the queue to settle and reads the
// newest printout with pdftotext, pdfinfo and pdffonts into files that this side reads.
//
// Also the helpers that drive Wine's print dialog and answer error boxes, shared by the
// Win32 and end-to-end printing tests.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace printout {

// A folder under /tmp, seen from both sides: its Unix and its DOS path.
struct Folder {
  std::string unixPath;
  std::string dosPath;
};

inline std::string DosPath(const std::string& unixPath) {
  typedef WCHAR*(CDECL * ToDos)(const char*);
  ToDos toDos = (ToDos)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                              "wine_get_dos_file_name");
  if (!toDos) return std::string();
  WCHAR* wide = toDos(unixPath.c_str());
  if (!wide) return std::string();
  char narrow[MAX_PATH * 2] = "";
  WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
  HeapFree(GetProcessHeap(), 0, wide);
  return narrow;
}

inline std::string ReadWhole(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  fclose(f);
  return text;
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs a Linux command line. Wine gives no handle to wait on for such a process, so
// the caller waits for a file that the command writes last.
inline bool RunUnix(const std::string& commandLine) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi))
    return false;
  if (pi.hThread) CloseHandle(pi.hThread);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  return true;
}

inline std::string Environment(const char* name) {
  char buf[MAX_PATH] = "";
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n < sizeof buf ? buf : "";
}

// What arrived since the mark.
struct Printout {
  int count = 0;                    // printouts newer than the mark
  std::string pdf;                  // the newest one's path (Unix)
  std::string text;                 // pdftotext -layout, UTF-8
  std::vector<std::string> pages;   // text, page by page
  std::string info;                 // pdfinfo of every page
  std::string fonts;                // pdffonts
};

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The words of a line, split at blanks.
inline std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    size_t j = i;
    while (j < line.size() && line[j] != ' ') ++j;
    if (j > i) words.push_back(line.substr(i, j - i));
    i = j;
  }
  return words;
}

// The non-empty lines of a page, as words.
inline std::vector<std::vector<std::string>> PageLines(const std::string& page) {
  std::vector<std::vector<std::string>> out;
  for (const std::string& line : Lines(page)) {
    std::vector<std::string> words = Words(line);
    if (!words.empty()) out.push_back(words);
  }
  return out;
}

class Collector {
 public:
  // Makes a fresh folder and the mark: a printout counts if it is newer than this.
  bool Mark() {
    char name[128];
    snprintf(name, sizeof name, "/tmp/velmora-printout-%lu-%lu-%d",
             (unsigned long)GetCurrentProcessId(), (unsigned long)GetTickCount(), ++serial_);
    folder_.unixPath = name;
    folder_.dosPath = DosPath(folder_.unixPath);
    if (folder_.dosPath.empty() || !CreateDirectoryA(folder_.dosPath.c_str(), nullptr))
      return false;
    FILE* f = fopen((folder_.dosPath + "\\mark").c_str(), "wb");
    if (!f) return false;
    fclose(f);
    Sleep(20);   // a printout made from now on is strictly newer than the mark
    return true;
  }

  // Waits until the queue is idle and a printout newer than the mark has arrived (or
  // seconds have passed), and reads the newest.
  bool Collect(Printout* out, int seconds = 30) {
    std::string source = Environment("VELMORA_SOURCE");
    std::string state = Environment("VELMORA_CUPS_PDF");
    std::string script = source + "/scripts/cups-pdf.sh";
    if (source.empty() || state.empty() || !Exists(DosPath(script))) {
      fprintf(stderr, "printout: VELMORA_SOURCE and VELMORA_CUPS_PDF must name the source "
                      "folder and the printer's state folder\n");
      return false;
    }
    std::string result = folder_.unixPath + "/result";
    char command[2048];
    snprintf(command, sizeof command, "/bin/bash %s collect %s %s/mark %s %d", script.c_str(),
             state.c_str(), folder_.unixPath.c_str(), result.c_str(), seconds);
    if (!RunUnix(command)) return false;
    std::string dos = folder_.dosPath + "\\result\\";
    DWORD start = GetTickCount();
    while (!Exists(dos + "done")) {
      if (GetTickCount() - start > (DWORD)(seconds + 20) * 1000) return false;
      Sleep(100);
    }
    out->count = atoi(ReadWhole(dos + "count").c_str());
    out->pdf = ReadWhole(dos + "pdf");
    while (!out->pdf.empty() && (out->pdf.back() == '\n')) out->pdf.pop_back();
    out->text = Normalise(ReadWhole(dos + "text.txt"));
    out->info = ReadWhole(dos + "info.txt");
    out->fonts = ReadWhole(dos + "fonts.txt");
    out->pages.clear();
    size_t startPage = 0;
    for (;;) {
      size_t ff = out->text.find('\f', startPage);
      if (ff == std::string::npos) break;
      out->pages.push_back(out->text.substr(startPage, ff - startPage));
      startPage = ff + 1;
    }
    if (startPage < out->text.size() && !PageLines(out->text.substr(startPage)).empty())
      out->pages.push_back(out->text.substr(startPage));
    return true;
  }

  ~Collector() { Remove(); }

 private:
  // The printer's font names the hyphen "hyphen", which pdftotext reads back as a
  // soft hyphen (U+00AD); the program printed a plain '-'.
  static std::string Normalise(std::string text) {
    size_t at;
    while ((at = text.find("\xC2\xAD")) != std::string::npos) text.replace(at, 2, "-");
    return text;
  }

  void Remove() {
    if (folder_.dosPath.empty()) return;
    const char* files[] = {"result\\done", "result\\count", "result\\pdf", "result\\text.txt",
                           "result\\info.txt", "result\\fonts.txt", "mark"};
    for (const char* f : files) DeleteFileA((folder_.dosPath + "\\" + f).c_str());
    RemoveDirectoryA((folder_.dosPath + "\\result").c_str());
    RemoveDirectoryA(folder_.dosPath.c_str());
    folder_ = Folder();
  }

  Folder folder_;
  int serial_ = 0;
};

// The words a printed line shows for a row (cell texts by column identifier) with the
// first n columns of the display order.
inline std::vector<std::string> PrintedWords(const std::vector<std::string>& row,
                                             const int order[17], size_t n) {
  std::vector<std::string> words;
  for (size_t p = 0; p < n && p < 17; ++p)
    for (const std::string& w : Words(row.at((size_t)order[p]))) words.push_back(w);
  return words;
}

inline std::string Joined(const std::vector<std::string>& words) {
  std::string s;
  for (const std::string& w : words) s += (s.empty() ? "" : " ") + w;
  return "[" + s + "]";
}

// A whole printout against the rows it must show, page by page: each page opens with
// the title of the view and its page number and the column heads in display order,
// the rows follow in the given order, and the heads and the rows show the same leading
// columns of the display order. *columnsShown gets the number of heads.
inline ::testing::AssertionResult ShowsRows(const Printout& p, const char* viewName,
                                            const std::vector<std::vector<std::string>>& rows,
                                            const int order[17], const char* const names[17],
                                            size_t* columnsShown = nullptr) {
  if (p.pages.empty()) return ::testing::AssertionFailure() << "no page";
  std::vector<std::vector<std::string>> printed;
  size_t heads = 0;
  for (size_t page = 0; page < p.pages.size(); ++page) {
    std::vector<std::vector<std::string>> lines = PageLines(p.pages[page]);
    if (lines.size() < 2)
      return ::testing::AssertionFailure() << "page " << page + 1 << " has no header";
    std::vector<std::string> title = {"FS", "A.I.", "Aircraft", "Details", "-", viewName,
                                      "Page", std::to_string(page + 1)};
    if (lines[0] != title)
      return ::testing::AssertionFailure() << "page " << page + 1 << " title "
                                           << Joined(lines[0]) << ", not " << Joined(title);
    if (page == 0) heads = lines[1].size();
    std::vector<std::string> want;
    for (size_t i = 0; i < heads && i < 17; ++i) want.push_back(names[order[i]]);
    if (heads > 17 || lines[1] != want)
      return ::testing::AssertionFailure() << "page " << page + 1 << " heads "
                                           << Joined(lines[1]) << ", not " << Joined(want);
    printed.insert(printed.end(), lines.begin() + 2, lines.end());
  }
  if (printed.size() != rows.size())
    return ::testing::AssertionFailure() << printed.size() << " rows printed, not "
                                         << rows.size();
  for (size_t r = 0; r < rows.size(); ++r) {
    std::vector<std::string> want = PrintedWords(rows[r], order, heads);
    if (printed[r] != want)
      return ::testing::AssertionFailure() << "row " << r << " printed " << Joined(printed[r])
                                           << ", not " << Joined(want);
  }
  if (columnsShown) *columnsShown = heads;
  return ::testing::AssertionSuccess();
}

// True when every page of pdfinfo's report is wider than tall as seen (its size
// turned by its rotation).
inline bool AllPagesLandscape(const std::string& info, int* pagesSeen) {
  struct Page {
    double w, h;
    int rot;
  };
  std::vector<Page> pages;
  for (const std::string& line : Lines(info)) {
    int n = 0, rot = 0;
    double w = 0, h = 0;
    if (sscanf(line.c_str(), "Page %d size: %lf x %lf", &n, &w, &h) == 3) {
      pages.push_back({w, h, 0});
    } else if (sscanf(line.c_str(), "Page %d rot: %d", &n, &rot) == 2 && !pages.empty()) {
      pages.back().rot = rot;
    }
  }
  bool landscape = !pages.empty();
  for (const Page& p : pages) {
    bool turned = p.rot % 180 != 0;
    if ((turned ? p.h : p.w) <= (turned ? p.w : p.h)) landscape = false;
  }
  if (pagesSeen) *pagesSeen = (int)pages.size();
  return landscape;
}

// Wine's print dialog ("#32770", caption "Print") of process pid, once it is visible
// and its OK button enabled; null after timeoutMs.
inline HWND FindPrintDialog(DWORD pid, DWORD timeoutMs) {
  struct Search {
    DWORD pid;
    HWND found;
  } s = {pid, nullptr};
  DWORD start = GetTickCount();
  for (;;) {
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
          Search* s = (Search*)lp;
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          // The caption as stored: GetWindowText would ask a window of this very
          // process, and wait for its thread, which may be waiting for us.
          char cls[32] = "";
          WCHAR title[64] = L"";
          GetClassNameA(w, cls, sizeof cls);
          InternalGetWindowText(w, title, 64);
          if (owner == s->pid && !strcmp(cls, "#32770") && !wcscmp(title, L"Print") &&
              IsWindowVisible(w) && IsWindowEnabled(GetDlgItem(w, IDOK))) {
            s->found = w;
            return FALSE;
          }
          return TRUE;
        },
        (LPARAM)&s);
    if (s.found || GetTickCount() - start >= timeoutMs) return s.found;
    Sleep(50);
  }
}

}  // namespace printout
