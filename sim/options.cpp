#include "sim/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/scenario.h"

namespace sim {

namespace {

int Fail(char* error, size_t errorBytes, const char* what, const char* option, const char* value) {
  if (error && errorBytes) snprintf(error, errorBytes, what, option, value);
  return 0;
}

int ParseWhole(const char* s, long long lo, long long hi, long long* out) {
  if (!s || !*s) return 0;
  char* end = nullptr;
  errno = 0;
  long long v = strtoll(s, &end, 10);
  if (*end || errno == ERANGE || v < lo || v > hi) return 0;
  *out = v;
  return 1;
}

int ParseReal(const char* s, double lo, double hi, double* out) {
  if (!s || !*s) return 0;
  char* end = nullptr;
  double v = strtod(s, &end);
  if (*end || !(v >= lo && v <= hi)) return 0;
  *out = v;
  return 1;
}

int CopyText(char* out, size_t bytes, const char* value) {
  if (!value || !*value || strlen(value) >= bytes) return 0;
  memcpy(out, value, strlen(value) + 1);
  return 1;
}

const char* const kHelp =
    "simhost: a stand-in for the running flight simulator and its IPC server.\n"
    "\n"
    "It opens a top-level window of class FS98MAIN01 that answers the registered\n"
    "message \"FsasmLib:IPC\": wParam is a global atom naming a shared section that\n"
    "holds read records (id 1, state-table offset, byte count, destination, data),\n"
    "ended by a zero id. Each record's data is filled from a 64 KiB state table and\n"
    "the answer is 1; a record that reaches past the section or the table, or has\n"
    "an unknown id, ends the walk and the answer is 0. A window of its own shows\n"
    "what it serves; closing it (or WM_CLOSE to either window) ends simhost.\n"
    "\n"
    "Usage: simhost [options]      (--name value or --name=value)\n"
    "\n"
    "What to serve (live traffic at KSFO unless a frozen scene is chosen):\n"
    "  --scenario FILE       serve the frozen scene of a scenario file\n"
    "  --scene NAME          serve a built-in frozen scene (below), or live\n"
    "  --seed N              seed of the live traffic (default 1)\n"
    "  --slots N             SlotCount of both live lists, 1 to 99 (default 40)\n"
    "  --overflights         fill every free slot of the airborne list with en route\n"
    "                        traffic crossing the area (--slots 99: 99 moving aircraft)\n"
    "  --warmup SECONDS      live traffic time before the first request (default 3600)\n"
    "  --rate X              live traffic seconds per clock second, 0 to 1000;\n"
    "                        0 freezes it (default 1)\n"
    "  --class NAME          window class FS98MAIN01 (default) or FS98MAIN\n"
    "\n"
    "Faults (from request 1 on, or after --faults-after N requests):\n"
    "  --answer N            fill nothing and answer N (0, 2, ...)\n"
    "  --answer-filled N     fill the records, then answer N\n"
    "  --delay MS            hold each request MS milliseconds, then answer\n"
    "  --hang                hold every request until simhost ends: never answer\n"
    "  --faults-after N      answer the first N requests normally\n"
    "  --quit-after N        end (exit code 0) after answering N requests\n"
    "\n"
    "Other:\n"
    "  --log FILE            request log: one line per request with the record\n"
    "                        headers as received and the answer\n"
    "  --write-scenario FILE write the scene that would be served (after the\n"
    "                        warm-up) as a scenario file, then end\n"
    "  --print-scene NAME    print a built-in scene's scenario text, then end\n"
    "  --pos X,Y             position of simhost's window on the screen\n"
    "  --help                this text\n"
    "\n"
    "The Faults menu of simhost's window switches faults while it runs (commands\n"
    "201 normal, 202 answer 0, 203 answer 2, 204 delay 3000 ms, 205 hang).\n"
    "Exit codes: 0 normal end, 1 bad command line, 2 start failed (scenario file,\n"
    "window). sim/README.md describes the scenario format.\n"
    "\n"
    "Built-in scenes:\n";

}  // namespace

void DefaultOptions(Options* o) {
  memset(o, 0, sizeof *o);
  strcpy(o->windowClass, "FS98MAIN01");
  o->seed = 1;
  o->slots = 40;
  o->warmup = 3600;
  o->rate = 1;
}

int ParseOptions(int argc, const char* const* argv, Options* o, char* error, size_t errorBytes) {
  DefaultOptions(o);
  if (error && errorBytes) error[0] = 0;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (!arg) continue;
    if (!strcmp(arg, "--help") || !strcmp(arg, "-h") || !strcmp(arg, "-?") || !strcmp(arg, "/?")) {
      o->help = 1;
      continue;
    }
    if (!strcmp(arg, "--hang")) {
      o->faults.hang = 1;
      continue;
    }
    if (!strcmp(arg, "--overflights")) {
      o->overflights = 1;
      continue;
    }
    if (strncmp(arg, "--", 2) != 0)
      return Fail(error, errorBytes, "unexpected argument '%s'%s (see --help)", arg, "");

    // --name=value or --name value
    char name[40];
    const char* value;
    const char* eq = strchr(arg, '=');
    size_t n = eq ? size_t(eq - arg) : strlen(arg);
    if (n >= sizeof name) return Fail(error, errorBytes, "unknown option '%s'%s (see --help)", arg, "");
    memcpy(name, arg, n);
    name[n] = 0;
    if (eq) {
      value = eq + 1;
    } else {
      if (i + 1 >= argc || !argv[i + 1])
        return Fail(error, errorBytes, "%s needs a value%s (see --help)", name, "");
      value = argv[++i];
    }

    long long w;
    if (!strcmp(name, "--class")) {
      if (strcmp(value, "FS98MAIN01") && strcmp(value, "FS98MAIN"))
        return Fail(error, errorBytes, "%s: '%s' is neither FS98MAIN01 nor FS98MAIN", name, value);
      strcpy(o->windowClass, value);
    } else if (!strcmp(name, "--scenario")) {
      if (!CopyText(o->scenarioFile, sizeof o->scenarioFile, value))
        return Fail(error, errorBytes, "%s: '%s' is not a usable file name", name, value);
    } else if (!strcmp(name, "--scene") || !strcmp(name, "--print-scene")) {
      bool live = !strcmp(value, "live") && !strcmp(name, "--scene");
      if (!live && !BuiltinScenario(value))
        return Fail(error, errorBytes, "%s: no built-in scene '%s' (see --help)", name, value);
      char* out = !strcmp(name, "--scene") ? o->sceneName : o->printScene;
      strcpy(out, live ? "" : value);
    } else if (!strcmp(name, "--seed")) {
      if (!ParseWhole(value, 0, 0xFFFFFFFFll, &w))
        return Fail(error, errorBytes, "%s: '%s' is not a number from 0 to 4294967295", name, value);
      o->seed = uint32_t(w);
    } else if (!strcmp(name, "--slots")) {
      if (!ParseWhole(value, 1, 99, &w))
        return Fail(error, errorBytes, "%s: '%s' is not a number from 1 to 99", name, value);
      o->slots = int(w);
    } else if (!strcmp(name, "--warmup")) {
      if (!ParseReal(value, 0, 86400, &o->warmup))
        return Fail(error, errorBytes, "%s: '%s' is not a number of seconds from 0 to 86400", name, value);
    } else if (!strcmp(name, "--rate")) {
      if (!ParseReal(value, 0, 1000, &o->rate))
        return Fail(error, errorBytes, "%s: '%s' is not a number from 0 to 1000", name, value);
    } else if (!strcmp(name, "--answer") || !strcmp(name, "--answer-filled")) {
      if (!ParseWhole(value, -2147483648ll, 2147483647ll, &w))
        return Fail(error, errorBytes, "%s: '%s' is not a 32-bit whole number", name, value);
      o->faults.answerMode = !strcmp(name, "--answer") ? AnswerOnly : AnswerFilled;
      o->faults.answer = int32_t(w);
    } else if (!strcmp(name, "--delay")) {
      if (!ParseWhole(value, 1, 3600000, &w))
        return Fail(error, errorBytes, "%s: '%s' is not a number of milliseconds from 1 to 3600000", name, value);
      o->faults.delayMs = uint32_t(w);
    } else if (!strcmp(name, "--faults-after") || !strcmp(name, "--quit-after")) {
      if (!ParseWhole(value, !strcmp(name, "--quit-after") ? 1 : 0, 0xFFFFFFFFll, &w))
        return Fail(error, errorBytes, "%s: '%s' is not a number of requests", name, value);
      if (!strcmp(name, "--quit-after")) o->quitAfter = uint32_t(w);
      else o->faults.after = uint32_t(w);
    } else if (!strcmp(name, "--log") || !strcmp(name, "--write-scenario")) {
      char* out = !strcmp(name, "--log") ? o->logFile : o->writeScenario;
      if (!CopyText(out, kPathBytes, value))
        return Fail(error, errorBytes, "%s: '%s' is not a usable file name", name, value);
    } else if (!strcmp(name, "--pos")) {
      int x, y;
      char tail;
      if (sscanf(value, "%d,%d%c", &x, &y, &tail) != 2 || x < -32000 || x > 32000 ||
          y < -32000 || y > 32000)
        return Fail(error, errorBytes, "%s: '%s' is not X,Y", name, value);
      o->hasPosition = 1;
      o->x = x;
      o->y = y;
    } else {
      return Fail(error, errorBytes, "unknown option '%s'%s (see --help)", name, "");
    }
  }
  if (o->scenarioFile[0] && o->sceneName[0])
    return Fail(error, errorBytes, "%s and %s exclude each other", "--scenario", "--scene");
  return 1;
}

size_t FormatHelp(char* out, size_t outBytes) {
  if (!out || outBytes == 0) return 0;
  size_t len = 0;
  int n = snprintf(out, outBytes, "%s", kHelp);
  len = n < 0 ? 0 : size_t(n) < outBytes ? size_t(n) : outBytes - 1;
  n = snprintf(out + len, outBytes - len, "  %-14s live traffic at KSFO (the default)\n", "live");
  len += n < 0 ? 0 : size_t(n) < outBytes - len ? size_t(n) : outBytes - len - 1;
  for (int i = 0; BuiltinScenarioName(i); ++i) {
    n = snprintf(out + len, outBytes - len, "  %-14s %s\n", BuiltinScenarioName(i),
                 BuiltinScenarioSummary(i));
    len += n < 0 ? 0 : size_t(n) < outBytes - len ? size_t(n) : outBytes - len - 1;
  }
  return len;
}

}  // namespace sim
