#include "sim/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/scenario.h"

namespace {

struct Parsed {
  sim::Options o;
  char error[200] = "";
  int ok;
  Parsed(std::vector<const char*> args) {
    ok = sim::ParseOptions(int(args.size()), args.data(), &o, error, sizeof error);
  }
};

}  // namespace

TEST(Options, DefaultsServeLiveTrafficAsFS98MAIN01) {
  Parsed p({});
  ASSERT_TRUE(p.ok);
  EXPECT_STREQ("FS98MAIN01", p.o.windowClass);
  EXPECT_STREQ("", p.o.sceneName);
  EXPECT_STREQ("", p.o.scenarioFile);
  EXPECT_EQ(1u, p.o.seed);
  EXPECT_EQ(40, p.o.slots);
  EXPECT_EQ(3600, p.o.warmup);
  EXPECT_EQ(1, p.o.rate);
  EXPECT_EQ(sim::AnswerServe, p.o.faults.answerMode);
  EXPECT_EQ(0u, p.o.faults.delayMs);
  EXPECT_FALSE(p.o.faults.hang);
  EXPECT_EQ(0u, p.o.quitAfter);
  EXPECT_FALSE(p.o.hasPosition);
}

TEST(Options, EveryOptionInBothForms) {
  Parsed p({"--class", "FS98MAIN", "--scenario=C:\\x y\\s.txt", "--seed", "4294967295",
            "--slots=99", "--warmup", "0", "--rate", "2.5", "--answer-filled", "-7", "--delay",
            "2500", "--hang", "--faults-after=3", "--quit-after", "12", "--log", "req.log",
            "--pos=-10,20"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_STREQ("FS98MAIN", p.o.windowClass);
  EXPECT_STREQ("C:\\x y\\s.txt", p.o.scenarioFile);
  EXPECT_EQ(4294967295u, p.o.seed);
  EXPECT_EQ(99, p.o.slots);
  EXPECT_EQ(0, p.o.warmup);
  EXPECT_EQ(2.5, p.o.rate);
  EXPECT_EQ(sim::AnswerFilled, p.o.faults.answerMode);
  EXPECT_EQ(-7, p.o.faults.answer);
  EXPECT_EQ(2500u, p.o.faults.delayMs);
  EXPECT_TRUE(p.o.faults.hang);
  EXPECT_EQ(3u, p.o.faults.after);
  EXPECT_EQ(12u, p.o.quitAfter);
  EXPECT_STREQ("req.log", p.o.logFile);
  EXPECT_TRUE(p.o.hasPosition);
  EXPECT_EQ(-10, p.o.x);
  EXPECT_EQ(20, p.o.y);

  Parsed q({"--scene", "nan", "--answer", "0", "--write-scenario", "out.txt", "-h"});
  ASSERT_TRUE(q.ok) << q.error;
  EXPECT_STREQ("nan", q.o.sceneName);
  EXPECT_EQ(sim::AnswerOnly, q.o.faults.answerMode);
  EXPECT_EQ(0, q.o.faults.answer);
  EXPECT_STREQ("out.txt", q.o.writeScenario);
  EXPECT_TRUE(q.o.help);
  Parsed live({"--scene=live", "--print-scene", "odd"});
  ASSERT_TRUE(live.ok) << live.error;
  EXPECT_STREQ("", live.o.sceneName);
  EXPECT_STREQ("odd", live.o.printScene);
}

TEST(Options, ErrorsSayWhichOptionAndWhy) {
  struct Case {
    std::vector<const char*> args;
    const char* error;
  } cases[] = {
      {{"--class", "FS2004"}, "--class: 'FS2004' is neither FS98MAIN01 nor FS98MAIN"},
      {{"--scene", "nosuch"}, "--scene: no built-in scene 'nosuch' (see --help)"},
      {{"--print-scene", "live"}, "--print-scene: no built-in scene 'live' (see --help)"},
      {{"--slots", "0"}, "--slots: '0' is not a number from 1 to 99"},
      {{"--slots", "100"}, "--slots: '100' is not a number from 1 to 99"},
      {{"--seed", "-1"}, "--seed: '-1' is not a number from 0 to 4294967295"},
      {{"--rate", "fast"}, "--rate: 'fast' is not a number from 0 to 1000"},
      {{"--delay", "0"}, "--delay: '0' is not a number of milliseconds from 1 to 3600000"},
      {{"--answer", "3000000000"}, "--answer: '3000000000' is not a 32-bit whole number"},
      {{"--quit-after", "0"}, "--quit-after: '0' is not a number of requests"},
      {{"--pos", "10"}, "--pos: '10' is not X,Y"},
      {{"--log"}, "--log needs a value (see --help)"},
      {{"--log="}, "--log: '' is not a usable file name"},
      {{"--colour", "red"}, "unknown option '--colour' (see --help)"},
      {{"serve"}, "unexpected argument 'serve' (see --help)"},
      {{"--scenario", "a.txt", "--scene", "nan"}, "--scenario and --scene exclude each other"},
  };
  for (const Case& c : cases) {
    Parsed p(c.args);
    EXPECT_FALSE(p.ok) << c.error;
    EXPECT_STREQ(c.error, p.error);
  }
}

TEST(Options, HelpNamesEveryOptionAndBuiltinScene) {
  char help[8192];
  size_t n = sim::FormatHelp(help, sizeof help);
  ASSERT_GT(n, 0u);
  ASSERT_LT(n, sizeof help - 1);   // not cut
  std::string text(help, n);
  for (const char* option : {"--scenario", "--scene", "--seed", "--slots", "--warmup", "--rate",
                             "--class", "--answer", "--answer-filled", "--delay", "--hang",
                             "--faults-after", "--quit-after", "--log", "--write-scenario",
                             "--print-scene", "--pos", "--help"})
    EXPECT_NE(std::string::npos, text.find(option)) << option;
  for (int i = 0; sim::BuiltinScenarioName(i); ++i)
    EXPECT_NE(std::string::npos, text.find(std::string("  ") + sim::BuiltinScenarioName(i) + " "))
        << sim::BuiltinScenarioName(i);
  char small[40];
  EXPECT_EQ(39u, sim::FormatHelp(small, sizeof small));
}

TEST(Options, OverflightsIsAFlagOffByDefault) {
  EXPECT_FALSE(Parsed({}).o.overflights);
  Parsed p({"--slots", "99", "--overflights", "--seed", "3"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.o.overflights);
  EXPECT_EQ(3u, p.o.seed);   // takes no value: the next option is read as usual
  char help[8192];
  sim::FormatHelp(help, sizeof help);
  EXPECT_NE(nullptr, strstr(help, "--overflights"));
}
