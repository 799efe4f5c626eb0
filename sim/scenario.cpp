// The scenario parser and writer. A line is a keyword followed by fields; a field is a
// bare word or key=value, and a value may be quoted ("...", with \" \\ and \xHH).
// Everything is parsed from bounded copies: no line, word or value can overrun.
#include "sim/scenario.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/server.h"

namespace sim {

namespace {

const int kMaxFields = 24;
const int kWordBytes = 24;
const int kValueBytes = 64;

struct Field {
  char key[kWordBytes];     // the word, or the part before '='
  int hasValue;
  char value[kValueBytes];  // NUL-terminated copy; may also hold NULs of its own (\x00)
  int valueLength;
};

struct Line {
  int number;
  Field fields[kMaxFields];
  int count;
};

// The state of one parse: the scene being built and what has been seen so far.
struct Parse {
  Scene* scene;
  char* error;
  size_t errorBytes;
  int line;
  int userSeen;
  int listSeen[2];
  int countAuto[2];
  int slotSeen[2][kSceneSlots];
};

int Fail(Parse* p, const char* format, ...) {
  if (!p->error || p->errorBytes == 0) return 0;
  int n = snprintf(p->error, p->errorBytes, "line %d: ", p->line);
  if (n < 0 || size_t(n) >= p->errorBytes) return 0;
  va_list args;
  va_start(args, format);
  vsnprintf(p->error + n, p->errorBytes - n, format, args);
  va_end(args);
  return 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits one line (without its newline) into fields.
int SplitLine(Parse* p, const char* s, size_t n, Line* line) {
  line->count = 0;
  size_t i = 0;
  for (;;) {
    while (i < n && IsSpace(s[i])) ++i;
    if (i >= n || s[i] == '#') return 1;
    if (line->count >= kMaxFields) return Fail(p, "more than %d fields", kMaxFields);
    Field& f = line->fields[line->count++];
    memset(&f, 0, sizeof f);
    int k = 0;
    while (i < n && !IsSpace(s[i]) && s[i] != '=') {
      if (s[i] == '"') return Fail(p, "a quote belongs after '='");
      if (k >= kWordBytes - 1) return Fail(p, "word '%.*s...' too long", k, f.key);
      f.key[k++] = s[i++];
    }
    if (i >= n || s[i] != '=') continue;
    ++i;
    f.hasValue = 1;
    int v = 0;
    if (i < n && s[i] == '"') {
      ++i;
      for (;;) {
        if (i >= n) return Fail(p, "unterminated quote in %s", f.key);
        char c = s[i++];
        if (c == '"') break;
        if (c == '\\') {
          if (i >= n) return Fail(p, "unterminated quote in %s", f.key);
          char e = s[i++];
          if (e == 'x') {
            int hi = i < n ? HexDigit(s[i]) : -1;
            int lo = i + 1 < n ? HexDigit(s[i + 1]) : -1;
            if (hi < 0 || lo < 0) return Fail(p, "\\x needs two hex digits in %s", f.key);
            c = char(hi * 16 + lo);
            i += 2;
          } else if (e == '"' || e == '\\') {
            c = e;
          } else {
            return Fail(p, "unknown escape \\%c in %s", e, f.key);
          }
        }
        if (v >= kValueBytes - 1) return Fail(p, "value of %s too long", f.key);
        f.value[v++] = c;
      }
      if (i < n && !IsSpace(s[i])) return Fail(p, "space expected after the quote of %s", f.key);
    } else {
      while (i < n && !IsSpace(s[i])) {
        if (v >= kValueBytes - 1) return Fail(p, "value of %s too long", f.key);
        f.value[v++] = s[i++];
      }
    }
    f.valueLength = v;
  }
}

bool SameText(const char* a, const char* b) {   // ASCII letters folded
  for (;; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
    if (!x) return true;
  }
}

// A number with nan, inf and -inf spelled out, independent of the C library.
int ParseDouble(Parse* p, const Field& f, double* out) {
  const char* s = f.value;
  if (SameText(s, "nan") || SameText(s, "-nan") || SameText(s, "+nan")) {
    *out = std::nan("");
    return 1;
  }
  if (SameText(s, "inf") || SameText(s, "+inf")) {
    *out = HUGE_VAL;
    return 1;
  }
  if (SameText(s, "-inf")) {
    *out = -HUGE_VAL;
    return 1;
  }
  char* end = nullptr;
  errno = 0;
  double v = strtod(s, &end);
  if (!s[0] || end != s + strlen(s) || strlen(s) != size_t(f.valueLength) ||
      !std::isfinite(v) || errno == ERANGE)
    return Fail(p, "%s: '%s' is not a number", f.key, s);
  *out = v;
  return 1;
}

int ParseFinite(Parse* p, const Field& f, double lo, double hi, double* out) {
  if (!ParseDouble(p, f, out)) return 0;
  if (!(*out >= lo && *out <= hi)) return Fail(p, "%s: %s is outside %g..%g", f.key, f.value, lo, hi);
  return 1;
}

// A float: any number a float can hold, or nan, inf, -inf.
int ParseFloat(Parse* p, const Field& f, float* out) {
  double v;
  if (!ParseDouble(p, f, &v)) return 0;
  if (std::isfinite(v) && std::fabs(v) > 3.4e38) return Fail(p, "%s: %s does not fit a float", f.key, f.value);
  *out = float(v);
  return 1;
}

// A whole number, decimal or 0x hexadecimal.
int ParseInteger(Parse* p, const Field& f, long long lo, long long hi, long long* out) {
  const char* s = f.value;
  bool hex = (s[0] == '0' && (s[1] == 'x' || s[1] == 'X'));
  char* end = nullptr;
  errno = 0;
  long long v = hex ? (long long)strtoull(s + 2, &end, 16) : strtoll(s, &end, 10);
  if (!s[0] || (hex && !s[2]) || end != s + strlen(s) || strlen(s) != size_t(f.valueLength) ||
      errno == ERANGE || (hex && (s[2] == '-' || s[2] == '+')))
    return Fail(p, "%s: '%s' is not a whole number", f.key, s);
  if (v < lo || v > hi) return Fail(p, "%s: %s is outside %lld..%lld", f.key, s, lo, hi);
  *out = v;
  return 1;
}

// COM1: "off" or 0 for none, 1DD.DD for a frequency, 0xNNNN for the raw field.
int ParseCom1(Parse* p, const Field& f, uint16_t* out) {
  const char* s = f.value;
  if (SameText(s, "off") || !strcmp(s, "0")) {
    *out = 0;
    return 1;
  }
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    long long v;
    if (!ParseInteger(p, f, 0, 0xFFFF, &v)) return 0;
    *out = uint16_t(v);
    return 1;
  }
  if (strlen(s) == 6 && s[0] == '1' && s[3] == '.') {
    int d[4] = {s[1] - '0', s[2] - '0', s[4] - '0', s[5] - '0'};
    bool digits = true;
    for (int x : d) digits = digits && x >= 0 && x <= 9;
    if (digits) {
      *out = uint16_t(d[0] << 12 | d[1] << 8 | d[2] << 4 | d[3]);
      return 1;
    }
  }
  return Fail(p, "com1: '%s' is not like 121.80, off or 0x2180", s);
}

const char* const kStateNames[] = {"Init",    "",        "Plan",    "Clrnc",   "Push1",
                                   "Push2",   "Startup", "preTaxi", "TaxiOut", "T/off1",
                                   "T/off2",  "Depart",  "Enroute", "Pattern", "Landing",
                                   "Rollout", "GoArnd",  "TaxiIn",  "ShutDn"};
const int kStateNameCount = int(sizeof kStateNames / sizeof kStateNames[0]);

int ParseState(Parse* p, const Field& f, uint8_t* out) {
  for (int i = 0; i < kStateNameCount; ++i)
    if (kStateNames[i][0] && SameText(f.value, kStateNames[i])) {
      *out = uint8_t(0x80 + i);
      return 1;
    }
  if (f.value[0] >= '0' && f.value[0] <= '9') {
    long long v;
    if (!ParseInteger(p, f, 0, 255, &v)) return 0;
    *out = uint8_t(v);
    return 1;
  }
  return Fail(p, "state: '%s' is neither a state name nor a number", f.value);
}

const char* const kCompass[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
const char* const kLetters = "LRCW";

// "28L", "01", "NW", "NWW", "none" or "": number and designator.
int ParseRunway(Parse* p, const Field& f, uint8_t* number, uint8_t* designator) {
  const char* s = f.value;
  *number = 0;
  *designator = 0;
  if (!s[0] || SameText(s, "none")) return 1;
  int at = 0;
  if (s[0] >= '0' && s[0] <= '9' && s[1] >= '0' && s[1] <= '9') {
    int n = (s[0] - '0') * 10 + (s[1] - '0');
    if (n < 1 || n > 36) return Fail(p, "rwy: number %d is outside 01..36", n);
    *number = uint8_t(n);
    at = 2;
  } else {
    int best = -1;   // the longest point that fits: NW is north-west, not N and W
    for (int i = 0; i < 8; ++i) {
      size_t len = strlen(kCompass[i]);
      if (strncmp(s, kCompass[i], len) == 0 && (best < 0 || len > strlen(kCompass[best]))) best = i;
    }
    if (best < 0) return Fail(p, "rwy: '%s' is not like 28L, N or none", s);
    *number = uint8_t(37 + best);
    at = int(strlen(kCompass[best]));
  }
  if (s[at]) {
    const char* letter = strchr(kLetters, s[at]);
    if (!letter || s[at + 1]) return Fail(p, "rwy: '%s' is not like 28L, N or none", s);
    *designator = uint8_t(1 + (letter - kLetters));
  }
  return 1;
}

// A text field of at most `bytes` bytes, NUL-padded.
int ParseText(Parse* p, const Field& f, char* out, int bytes) {
  if (f.valueLength > bytes) return Fail(p, "%s: longer than %d characters", f.key, bytes);
  memset(out, 0, bytes);
  memcpy(out, f.value, f.valueLength);
  return 1;
}

int NeedValue(Parse* p, const Field& f) {
  if (!f.hasValue) return Fail(p, "'%s' needs a value: %s=...", f.key, f.key);
  return 1;
}

int ListNumber(const char* word) {
  if (!strcmp(word, "airborne")) return kListAirborne;
  if (!strcmp(word, "ground")) return kListGround;
  return -1;
}

int ParseUser(Parse* p, const Line& line) {
  if (p->userSeen++) return Fail(p, "user given twice");
  SceneUser& u = p->scene->user;
  for (int i = 1; i < line.count; ++i) {
    const Field& f = line.fields[i];
    if (!NeedValue(p, f)) return 0;
    int ok;
    if (!strcmp(f.key, "lat")) ok = ParseFinite(p, f, -90, 90, &u.latitude);
    else if (!strcmp(f.key, "lon")) ok = ParseFinite(p, f, -360, 360, &u.longitude);
    else if (!strcmp(f.key, "alt")) ok = ParseFinite(p, f, -1e6, 1e7, &u.altitude);
    else if (!strcmp(f.key, "magvar")) ok = ParseFinite(p, f, -180, 180, &u.magneticVariation);
    else if (!strcmp(f.key, "heading")) ok = ParseFinite(p, f, -1e6, 1e6, &u.heading);
    else if (!strcmp(f.key, "gs")) ok = ParseFinite(p, f, 0, 1e5, &u.groundSpeed);
    else if (!strcmp(f.key, "vs")) ok = ParseFinite(p, f, -1e6, 1e6, &u.verticalSpeed);
    else if (!strcmp(f.key, "com1")) ok = ParseCom1(p, f, &u.com1);
    else return Fail(p, "user has no field '%s'", f.key);
    if (!ok) return 0;
  }
  return 1;
}

int ParseList(Parse* p, const Line& line, int l) {
  if (p->listSeen[l]++) return Fail(p, "%s given twice", line.fields[0].key);
  SceneList& list = p->scene->lists[l];
  for (int i = 1; i < line.count; ++i) {
    const Field& f = line.fields[i];
    if (!NeedValue(p, f)) return 0;
    long long v;
    bool automatic = SameText(f.value, "auto");
    if (!strcmp(f.key, "count")) {
      p->countAuto[l] = automatic;
      if (!automatic && !ParseInteger(p, f, 0, 65535, &v)) return 0;
      if (!automatic) list.slotCount = int(v);
    } else if (!strcmp(f.key, "recordlength")) {
      if (!ParseInteger(p, f, 0, 65535, &v)) return 0;
      list.recordLength = int(v);
    } else if (!strcmp(f.key, "nearest")) {
      if (!automatic && !ParseInteger(p, f, 0, 65535, &v)) return 0;
      list.nearest = automatic ? -1 : int(v);
    } else {
      return Fail(p, "%s has no field '%s'", line.fields[0].key, f.key);
    }
  }
  return 1;
}

int ParseSlot(Parse* p, const Line& line) {
  if (line.count < 3 || line.fields[1].hasValue || line.fields[2].hasValue)
    return Fail(p, "slot needs a list and an index: slot ground 3 ...");
  int l = ListNumber(line.fields[1].key);
  if (l < 0) return Fail(p, "slot: '%s' is neither airborne nor ground", line.fields[1].key);
  Field index = line.fields[2];
  memcpy(index.value, index.key, sizeof index.key);
  index.valueLength = int(strlen(index.value));
  strcpy(index.key, "slot index");
  long long k;
  if (!ParseInteger(p, index, 0, kSceneSlots - 1, &k)) return 0;
  if (p->slotSeen[l][k]++) return Fail(p, "slot %s %lld given twice", line.fields[1].key, k);

  SceneSlot& s = p->scene->lists[l].slots[k];
  memset(&s, 0, sizeof s);
  s.defined = 1;
  s.refId = uint32_t(k + 1);
  for (int i = 3; i < line.count; ++i) {
    const Field& f = line.fields[i];
    if (!NeedValue(p, f)) return 0;
    long long v = 0;
    int ok;
    if (!strcmp(f.key, "ref")) {
      ok = ParseInteger(p, f, 0, 0xFFFFFFFFll, &v);
      s.refId = uint32_t(v);
    } else if (!strcmp(f.key, "id")) ok = ParseText(p, f, s.idText, kIdBytes);
    else if (!strcmp(f.key, "lat")) ok = ParseFloat(p, f, &s.latitude);
    else if (!strcmp(f.key, "lon")) ok = ParseFloat(p, f, &s.longitude);
    else if (!strcmp(f.key, "alt")) ok = ParseFloat(p, f, &s.altitude);
    else if (!strcmp(f.key, "heading")) ok = ParseFinite(p, f, -1e6, 1e6, &s.heading);
    else if (!strcmp(f.key, "gs")) ok = ParseFinite(p, f, 0, 65535, &s.groundSpeed);
    else if (!strcmp(f.key, "vs")) ok = ParseFinite(p, f, -32768, 32767, &s.verticalSpeed);
    else if (!strcmp(f.key, "state")) ok = ParseState(p, f, &s.state);
    else if (!strcmp(f.key, "com1")) ok = ParseCom1(p, f, &s.com1);
    else if (!strcmp(f.key, "from")) ok = ParseText(p, f, s.from, 4);
    else if (!strcmp(f.key, "to")) ok = ParseText(p, f, s.to, 4);
    else if (!strcmp(f.key, "rwy")) ok = ParseRunway(p, f, &s.runwayNumber, &s.runwayDesignator);
    else if (!strcmp(f.key, "runway")) {
      ok = ParseInteger(p, f, 0, 255, &v);
      s.runwayNumber = uint8_t(v);
    } else if (!strcmp(f.key, "designator")) {
      ok = ParseInteger(p, f, 0, 255, &v);
      s.runwayDesignator = uint8_t(v);
    } else {
      return Fail(p, "slot has no field '%s'", f.key);
    }
    if (!ok) return 0;
  }
  return 1;
}

int ParseRaw(Parse* p, const Line& line) {
  Scene* scene = p->scene;
  if (scene->patchCount >= kMaxPatches) return Fail(p, "more than %d raw lines", kMaxPatches);
  if (line.count < 3) return Fail(p, "raw needs an offset and at least one byte");
  if (line.count - 2 > kPatchBytes) return Fail(p, "raw: more than %d bytes", kPatchBytes);
  ScenePatch& patch = scene->patches[scene->patchCount];
  memset(&patch, 0, sizeof patch);
  for (int i = 1; i < line.count; ++i) {
    Field f = line.fields[i];
    if (f.hasValue) return Fail(p, "raw takes bare numbers, not '%s='", f.key);
    memcpy(f.value, f.key, sizeof f.key);
    f.valueLength = int(strlen(f.value));
    long long v;
    if (i == 1) {
      strcpy(f.key, "raw offset");
      if (!ParseInteger(p, f, 0, kStateTableBytes - 1, &v)) return 0;
      patch.offset = uint32_t(v);
      continue;
    }
    // Bytes are hexadecimal, with or without 0x.
    if (!(f.value[0] == '0' && (f.value[1] == 'x' || f.value[1] == 'X'))) {
      char hex[kValueBytes];
      snprintf(hex, sizeof hex, "0x%s", f.value);
      memcpy(f.value, hex, sizeof hex);
      f.valueLength = int(strlen(f.value));
    }
    strcpy(f.key, "raw byte");
    if (!ParseInteger(p, f, 0, 255, &v)) return 0;
    patch.bytes[patch.length++] = uint8_t(v);
  }
  if (patch.offset + patch.length > kStateTableBytes)
    return Fail(p, "raw: %u bytes at 0x%X reach past the table", patch.length, patch.offset);
  scene->patchCount++;
  return 1;
}

int ParseLine(Parse* p, const Line& line) {
  if (line.count == 0) return 1;
  const Field& head = line.fields[0];
  if (head.hasValue) return Fail(p, "a line begins with a keyword, not '%s='", head.key);
  if (!strcmp(head.key, "user")) return ParseUser(p, line);
  if (!strcmp(head.key, "slot")) return ParseSlot(p, line);
  if (!strcmp(head.key, "raw")) return ParseRaw(p, line);
  int l = ListNumber(head.key);
  if (l >= 0) return ParseList(p, line, l);
  return Fail(p, "unknown keyword '%s'", head.key);
}

// --- Writing --------------------------------------------------------------------------

struct Out {
  char* at;
  size_t left;
  int overflow;
};

void Emit(Out* o, const char* format, ...) {
  if (o->overflow) return;
  va_list args;
  va_start(args, format);
  int n = vsnprintf(o->at, o->left, format, args);
  va_end(args);
  if (n < 0 || size_t(n) >= o->left) {
    o->overflow = 1;
    return;
  }
  o->at += n;
  o->left -= n;
}

// A number that parses back to the same double (or float, with 9 digits).
void EmitNumber(Out* o, const char* key, double v, int digits) {
  if (std::isnan(v)) Emit(o, " %s=nan", key);
  else if (std::isinf(v)) Emit(o, " %s=%s", key, v < 0 ? "-inf" : "inf");
  else Emit(o, " %s=%.*g", key, digits, v);
}

// A quoted text of up to n bytes, up to its last non-NUL byte, escaped where needed.
void EmitText(Out* o, const char* key, const char* text, int n) {
  while (n > 0 && text[n - 1] == 0) --n;
  Emit(o, " %s=\"", key);
  for (int i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') Emit(o, "\\%c", c);
    else if (c < 0x20 || c > 0x7E) Emit(o, "\\x%02X", c);
    else Emit(o, "%c", c);
  }
  Emit(o, "\"");
}

const char* const kListNames[2] = {"airborne", "ground"};

}  // namespace

int ParseScenario(const char* text, size_t length, Scene* scene, char* error,
                  size_t errorBytes) {
  Parse p;
  memset(&p, 0, sizeof p);
  p.scene = scene;
  p.error = error;
  p.errorBytes = errorBytes;
  p.countAuto[0] = p.countAuto[1] = 1;
  if (error && errorBytes) error[0] = 0;
  ClearScene(scene);

  Line line;
  size_t at = 0;
  while (at < length) {
    p.line++;
    size_t end = at;
    while (end < length && text[end] != '\n') ++end;
    if (end - at >= kScenarioLineBytes) return Fail(&p, "longer than %u characters", unsigned(kScenarioLineBytes - 1));
    if (memchr(text + at, 0, end - at)) return Fail(&p, "a NUL character in the text");
    if (!SplitLine(&p, text + at, end - at, &line) || !ParseLine(&p, line)) return 0;
    at = end + 1;
  }
  for (int l = 0; l < 2; ++l) {
    if (!p.countAuto[l]) continue;
    int count = 0;
    for (int k = 0; k < kSceneSlots; ++k)
      if (p.slotSeen[l][k]) count = k + 1;
    scene->lists[l].slotCount = count;
  }
  return 1;
}

size_t FormatScenario(const Scene* scene, char* out, size_t outBytes) {
  if (!out || outBytes == 0) return 0;
  Out o = {out, outBytes, 0};
  out[0] = 0;
  const SceneUser& u = scene->user;
  Emit(&o, "# simhost scenario\nuser");
  EmitNumber(&o, "lat", u.latitude, 17);
  EmitNumber(&o, "lon", u.longitude, 17);
  EmitNumber(&o, "alt", u.altitude, 17);
  EmitNumber(&o, "magvar", u.magneticVariation, 17);
  EmitNumber(&o, "heading", u.heading, 17);
  EmitNumber(&o, "gs", u.groundSpeed, 17);
  EmitNumber(&o, "vs", u.verticalSpeed, 17);
  Emit(&o, " com1=0x%04X\n", u.com1);
  for (int l = 0; l < 2; ++l) {
    const SceneList& list = scene->lists[l];
    Emit(&o, "%s count=%d recordlength=%d", kListNames[l], list.slotCount, list.recordLength);
    if (list.nearest < 0) Emit(&o, " nearest=auto\n");
    else Emit(&o, " nearest=%d\n", list.nearest);
    for (int k = 0; k < kSceneSlots; ++k) {
      const SceneSlot& s = list.slots[k];
      if (!s.defined) continue;
      Emit(&o, "slot %s %d ref=%u", kListNames[l], k, s.refId);
      EmitText(&o, "id", s.idText, kIdBytes);
      EmitNumber(&o, "lat", s.latitude, 9);
      EmitNumber(&o, "lon", s.longitude, 9);
      EmitNumber(&o, "alt", s.altitude, 9);
      EmitNumber(&o, "heading", s.heading, 17);
      EmitNumber(&o, "gs", s.groundSpeed, 17);
      EmitNumber(&o, "vs", s.verticalSpeed, 17);
      Emit(&o, " state=0x%02X com1=0x%04X", s.state, s.com1);
      EmitText(&o, "from", s.from, 4);
      EmitText(&o, "to", s.to, 4);
      Emit(&o, " runway=%u designator=%u\n", s.runwayNumber, s.runwayDesignator);
    }
  }
  int patches = scene->patchCount < kMaxPatches ? scene->patchCount : kMaxPatches;
  for (int i = 0; i < patches; ++i) {
    const ScenePatch& p = scene->patches[i];
    uint32_t n = p.length < uint32_t(kPatchBytes) ? p.length : uint32_t(kPatchBytes);
    Emit(&o, "raw 0x%04X", p.offset);
    for (uint32_t b = 0; b < n; ++b) Emit(&o, " %02X", p.bytes[b]);
    Emit(&o, "\n");
  }
  if (o.overflow) {
    out[0] = 0;
    return 0;
  }
  return outBytes - o.left;
}

}  // namespace sim

// --- Built-in scenarios -----------------------------------------------------------------

namespace sim {

namespace {

struct Builtin {
  const char* name;
  const char* summary;
  const char* text;
};

#define KSFO_USER "user lat=37.6158 lon=-122.3863 alt=13 magvar=13 heading=297.9 com1=118.85\n"

const Builtin kBuiltins[] = {
    {"examples", "the user at 50 N 0 E with aircraft 1 degree away in each direction",
     "# The worked examples of distance and bearing: the user at 50 N 0 E (1000 m,\n"
     "# magnetic variation 0), aircraft to the north, east, south, west, north-east\n"
     "# and at the user's own position; on the ground one taxiing and one empty slot.\n"
     "user lat=50 lon=0 alt=3280.85 magvar=0 heading=90 gs=100 vs=196.85 com1=123.45\n"
     "airborne count=6\n"
     "slot airborne 0 ref=0xFFFE id=\"NORTH\" lat=51 lon=0 alt=5000 heading=0 gs=250 vs=0"
     " state=Enroute com1=123.45 from=EGLL to=LFPG rwy=09L\n"
     "slot airborne 1 ref=5 id=\"EAST\" lat=50 lon=1 alt=-11.3 heading=90 gs=180 vs=-1500"
     " state=Landing com1=118.50 from=LFPG to=EGKK rwy=27C\n"
     "slot airborne 2 ref=0x8000 id=\"SOUTH\" lat=49 lon=0 alt=11.5 heading=180 gs=300"
     " vs=2000 state=Depart com1=119.10 from=EGKK to=LFPG rwy=N\n"
     "slot airborne 3 ref=3 id=\"WEST\" lat=50 lon=-1 alt=12000 heading=270 gs=320 vs=-1000"
     " state=Pattern com1=120.40 from=EHAM to=EGLL rwy=NWW\n"
     "slot airborne 4 ref=4 id=\"NORTHEAST\" lat=51 lon=1 alt=35000 heading=45 gs=460 vs=0"
     " state=Enroute com1=132.05 from=EDDF to=EGLL rwy=36\n"
     "slot airborne 5 ref=6 id=\"HERE\" lat=50 lon=0 alt=3280 heading=90 gs=140 vs=-700"
     " state=GoArnd com1=123.45 from=EGLL to=EGLL\n"
     "ground count=2\n"
     "slot ground 0 ref=7 id=\"G-ABCD\" lat=50.01 lon=0 alt=0 heading=360 gs=15 vs=0"
     " state=TaxiOut com1=121.70 from=EGLL to=LEMD rwy=09R\n"
     "slot ground 1 ref=0 id=\"EMPTY\" lat=50 lon=0 state=Init\n"},

    {"empty", "both lists with 40 slots and no aircraft",
     "# Both lists with 40 slots and not one aircraft: the nearest distances read 0xFFFF.\n"
     KSFO_USER
     "airborne count=40\n"
     "ground count=40\n"},

    {"count0", "SlotCount 0 in both lists, with aircraft in their records",
     "# SlotCount 0 in both lists, yet their records hold aircraft: there is no slot to show.\n"
     KSFO_USER
     "airborne count=0\n"
     "ground count=0\n"
     "slot airborne 0 ref=1 id=\"UAL1\" lat=37.7 lon=-122.3 alt=5000 state=Enroute\n"
     "slot ground 0 ref=2 id=\"UAL2\" lat=37.615 lon=-122.386 alt=13 state=Init\n"},

    {"count255", "SlotCount 255 in both lists, more than the 99 records of a read",
     "# SlotCount 255 in both lists: more than the 99 records that one read holds.\n"
     KSFO_USER
     "airborne count=255\n"
     "ground count=255\n"
     "slot airborne 0 ref=1 id=\"FIRST\" lat=37.7 lon=-122.3 alt=5000 gs=250 state=Enroute\n"
     "slot airborne 98 ref=99 id=\"LAST\" lat=37.8 lon=-122.2 alt=9000 gs=280 state=Depart\n"
     "slot ground 0 ref=101 id=\"FIRST\" lat=37.615 lon=-122.386 alt=13 state=Init\n"
     "slot ground 98 ref=199 id=\"LAST\" lat=37.612 lon=-122.384 alt=13 state=TaxiOut\n"},

    {"reclen0", "RecordLength 0: every slot index reads the same record",
     "# RecordLength 0: every slot index reads the first record (and the first route).\n"
     KSFO_USER
     "airborne count=5 recordlength=0\n"
     "ground count=5 recordlength=0\n"
     "slot airborne 0 ref=1 id=\"SAME\" lat=37.7 lon=-122.3 alt=5000 gs=250 state=Enroute"
     " from=KSFO to=KLAX rwy=01R\n"
     "slot ground 0 ref=2 id=\"SAME\" lat=37.615 lon=-122.386 alt=13 state=Init from=KSFO"
     " to=KSEA\n"},

    {"reclen41", "RecordLength 41: the last slots lie partly past the reads",
     "# RecordLength 41 and 99 slots: from slot 96 on a record reaches past the slot\n"
     "# table's 4088 bytes, and from slot 97 on a route past the route table's 1980.\n"
     KSFO_USER
     "airborne count=99 recordlength=41\n"
     "ground count=99 recordlength=41\n"
     "slot airborne 0 ref=1 id=\"FIRST\" lat=37.7 lon=-122.3 alt=5000 state=Enroute\n"
     "slot airborne 95 ref=96 id=\"INSIDE\" lat=37.8 lon=-122.2 alt=7000 state=Enroute"
     " from=KSFO to=KDEN\n"
     "slot ground 0 ref=101 id=\"FIRST\" lat=37.615 lon=-122.386 alt=13 state=Init\n"},

    {"reclen65535", "RecordLength 65535: only slot 0 lies inside the reads",
     "# RecordLength 65535: slot 0 lies inside the reads, every other one far past them.\n"
     KSFO_USER
     "airborne count=99 recordlength=65535\n"
     "ground count=99 recordlength=65535\n"
     "slot airborne 0 ref=1 id=\"ONLY\" lat=37.7 lon=-122.3 alt=5000 state=Enroute\n"
     "slot ground 0 ref=2 id=\"ONLY\" lat=37.615 lon=-122.386 alt=13 state=Init\n"},

    {"idnonul", "IdText of 15 characters and airport codes of 4, none NUL-ended",
     "# IdText fields of all 15 characters, with no NUL; airport codes of 4, no NUL.\n"
     KSFO_USER
     "airborne count=2\n"
     "ground count=1\n"
     "slot airborne 0 ref=1 id=\"ABCDEFGHIJKLMNO\" lat=37.7 lon=-122.3 alt=5000"
     " state=Enroute from=KSFO to=RJTT\n"
     "slot airborne 1 ref=2 id=\"FIFTEEN-CHARS!!\" lat=37.8 lon=-122.1 alt=9000"
     " state=Depart from=KSFO to=EGLL\n"
     "slot ground 0 ref=3 id=\"N12345678901234\" lat=37.615 lon=-122.386 alt=13"
     " state=Init from=KSFO to=PHNL\n"},

    {"nan", "positions that are not numbers or infinite",
     "# Positions and altitudes that are not numbers, infinite or huge; one normal\n"
     "# aircraft in each list, which alone decides the nearest distance.\n"
     KSFO_USER
     "airborne count=6\n"
     "ground count=3\n"
     "slot airborne 0 ref=1 id=\"NANLAT\" lat=nan lon=-122.3 alt=5000 state=Enroute\n"
     "slot airborne 1 ref=2 id=\"INFLON\" lat=37.7 lon=inf alt=5000 state=Enroute\n"
     "slot airborne 2 ref=3 id=\"NEGINFALT\" lat=37.7 lon=-122.3 alt=-inf state=Enroute\n"
     "slot airborne 3 ref=4 id=\"HUGEALT\" lat=37.7 lon=-122.3 alt=3e38 state=Enroute\n"
     "slot airborne 4 ref=5 id=\"NANALL\" lat=nan lon=nan alt=nan state=Enroute\n"
     "slot airborne 5 ref=6 id=\"NORMAL\" lat=37.9 lon=-122.3 alt=5000 state=Enroute\n"
     "slot ground 0 ref=7 id=\"NEGINFLAT\" lat=-inf lon=-122.386 alt=13 state=Init\n"
     "slot ground 1 ref=8 id=\"NANLON\" lat=37.615 lon=nan alt=13 state=Init\n"
     "slot ground 2 ref=9 id=\"NORMAL\" lat=37.615 lon=-122.386 alt=13 state=Init\n"},

    {"antimeridian", "the user beside the 180-degree meridian, aircraft on both sides",
     "# The user at Matei, Taveuni (NFNM), 7 nm east of the 180-degree meridian, with\n"
     "# aircraft a few miles away on both sides of it.\n"
     "user lat=-16.6906 lon=-179.8767 alt=60 magvar=12 heading=270 com1=118.10\n"
     "airborne count=4\n"
     "ground count=2\n"
     "slot airborne 0 ref=1 id=\"FJI25\" lat=-16.7 lon=179.95 alt=3000 heading=90 gs=220"
     " vs=-800 state=Pattern com1=118.10 from=NFFN to=NFNM rwy=09\n"
     "slot airborne 1 ref=2 id=\"FJI7\" lat=-16.6 lon=-179.95 alt=5000 heading=120 gs=240"
     " vs=1200 state=Depart com1=124.40 from=NFNM to=NFFN\n"
     "slot airborne 2 ref=3 id=\"ANZ60\" lat=-16.9 lon=179.5 alt=37000 heading=20 gs=480"
     " state=Enroute com1=128.20 from=NZAA to=PHNL\n"
     "slot airborne 3 ref=4 id=\"QFA101\" lat=-16.5 lon=-179.5 alt=39000 heading=200 gs=470"
     " state=Enroute com1=128.20 from=PHNL to=YSSY\n"
     "slot ground 0 ref=5 id=\"DQ-FJT\" lat=-16.6905 lon=-179.876 alt=60 heading=90"
     " state=Init from=NFNM to=NFFN\n"
     "slot ground 1 ref=6 id=\"DQ-TWN\" lat=-16.691 lon=179.999 alt=30 heading=270 gs=12"
     " state=TaxiIn com1=118.10 from=NFFN to=NFNM\n"},

    {"odd", "field values at their edges: odd state codes, runways, COM1, speeds",
     "# Values at the edges of their fields: state codes outside the named ones, runway\n"
     "# numbers past 44 and designators past 4, COM1 fields that are not BCD, extreme\n"
     "# speeds and reference numbers, an empty IdText.\n"
     "user lat=-33.9461 lon=151.1772 alt=21 magvar=12.5 heading=359.999 gs=0 vs=-6000"
     " com1=0\n"
     "airborne count=8\n"
     "slot airborne 0 ref=0x8000 id=\"STATE0\" lat=-33.9 lon=151.2 alt=3000 state=0\n"
     "slot airborne 1 ref=0xFFFFFFFF id=\"STATE7F\" lat=-33.8 lon=151.2 alt=3000 state=0x7F\n"
     "slot airborne 2 ref=0x10000 id=\"STATE81\" lat=-33.7 lon=151.2 alt=3000 state=0x81\n"
     "slot airborne 3 ref=3 id=\"STATE93\" lat=-33.6 lon=151.2 alt=3000 state=0x93\n"
     "slot airborne 4 ref=4 id=\"RWY45\" lat=-33.5 lon=151.2 alt=3000 state=255 runway=45"
     " designator=5\n"
     "slot airborne 5 ref=5 id=\"EXTREMES\" lat=-33.4 lon=151.2 alt=3000 state=Enroute"
     " runway=255 designator=4 com1=0xFFFF gs=65535 vs=-32768\n"
     "slot airborne 6 ref=6 id=\"NWW\" lat=-33.3 lon=151.2 alt=3000 state=Enroute rwy=NWW"
     " heading=359.999 vs=32767 com1=0x0A0F\n"
     "slot airborne 7 ref=7 id=\"\" lat=-33.2 lon=151.2 alt=3000 state=Enroute from=\"\""
     " to=\"\"\n"},
};
const int kBuiltinCount = int(sizeof kBuiltins / sizeof kBuiltins[0]);

}  // namespace

const char* BuiltinScenario(const char* name) {
  for (const Builtin& b : kBuiltins)
    if (name && !strcmp(name, b.name)) return b.text;
  return nullptr;
}

const char* BuiltinScenarioName(int i) { return i >= 0 && i < kBuiltinCount ? kBuiltins[i].name : nullptr; }

const char* BuiltinScenarioSummary(int i) {
  return i >= 0 && i < kBuiltinCount ? kBuiltins[i].summary : nullptr;
}

}  // namespace sim
