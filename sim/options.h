// simhost's command line: what to serve, under which window class, and the faults to
// play. Pure code: no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace sim {

const int kPathBytes = 260;
const int kNameBytes = 32;

// How a request is answered.
enum AnswerMode {
  AnswerServe = 0,    // fill the records, answer 1 (0 when a record is bad)
  AnswerOnly = 1,     // fill nothing, answer `answer`
  AnswerFilled = 2,   // fill the records, then answer `answer` whatever the walk gave
};

struct Faults {
  int answerMode;
  int32_t answer;
  uint32_t delayMs;   // hold each request this long before answering; 0: at once
  int hang;           // hold every request until simhost ends: never answer
  uint32_t after;     // the faults begin with request after + 1
};

struct Options {
  int help;
  char windowClass[16];            // "FS98MAIN01" or "FS98MAIN"
  char scenarioFile[kPathBytes];   // a frozen scene from a file, or ""
  char sceneName[kNameBytes];      // a built-in frozen scene, or "" for live traffic
  uint32_t seed;                   // live traffic
  int slots;                       // SlotCount of both live lists
  int overflights;                 // live traffic: fill the airborne list with overflights
  double warmup;                   // seconds the live traffic runs before serving
  double rate;                     // live traffic seconds per clock second; 0 freezes
  Faults faults;
  uint32_t quitAfter;              // end after answering this many requests; 0: never
  char logFile[kPathBytes];
  char writeScenario[kPathBytes];  // write the scene to this file and end
  char printScene[kNameBytes];     // print this built-in scenario and end
  int hasPosition;
  int x, y;                        // the status window's position
};

void DefaultOptions(Options* options);

// Parses the arguments after the program name: "--name value" or "--name=value".
// Returns 1 on success; 0 with a message in error.
int ParseOptions(int argc, const char* const* argv, Options* options, char* error,
                 size_t errorBytes);

// The --help text, with the built-in scenes listed. Returns the length written, cut
// to the buffer.
size_t FormatHelp(char* out, size_t outBytes);

}  // namespace sim
