// The simulator as a command-line tool: help, bad options, exit status,
// signals, link and socket clean-up, the log.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "sim_process.h"

using namespace simtest;
namespace fs = std::filesystem;

TEST(CommandLine, HelpDocumentsEveryOptionFaultAndControlCommand) {
  const RunResult r = runToCompletion({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* word : {"--address",  "--name",      "--config",    "--set",
                           "--link",     "--control",   "--log",       "--printer",
                           "--baud",     "--seed",      "--drift",     "--delay",
                           "--drop",     "--fault",     "--no-banner", "--die-with-parent",
                           "--version",  "power-cycle", "key [@ADDR]", "set [@ADDR]",
                           "fault KIND", "state",       "counts",      "quit",
                           "delay MS",   "drop PCT",    "badsum",      "badaddr",
                           "truncate",   "noise",       "longline",    "burst",
                           "flood",      "vanish",      "return",      "QE",
                           "QS",         "C:hhhh"}) {
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
}

TEST(CommandLine, BadOptionsExitWithStatus2AndRuntimeFailuresWith1) {
  TempDir dir;
  const std::string plain = dir.path("plain");
  std::ofstream(plain) << "keep me";
  const std::pair<int, std::vector<std::string>> cases[] = {
      {2, {"--bogus"}},
      {2, {"--baud"}},
      {2, {"--baud", "fast"}},
      {2, {"--baud", "10"}},
      {2, {"--address", "a b"}},
      {2, {"--address", "01", "--address", "01"}},
      {2, {"--drop", "101"}},
      {2, {"--fault", "vanish"}},
      {2, {"--fault", "delay=-1"}},
      {2, {"--config", "12345"}},
      {2, {"--set", "a4"}},
      {2, {"--seed", "x"}},
      {1, {"--link", plain}},
      {1, {"--control", plain}},
      {1, {"--set", "a9=1"}},
      {1, {"--set", "a0=256"}},
      {1, {"--log", dir.path("missing/dir/log")}},
  };
  for (const auto& [status, args] : cases) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
    const RunResult r = runToCompletion(args);
    EXPECT_EQ(r.exitCode, status);
    EXPECT_EQ(r.err.rfind("brimtally-sim: ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "") << "no device path on failure";
    // A bad option is named in the message.
    if (status == 2) {
      EXPECT_NE(r.err.find(args[0].substr(0, args[0].find('='))), std::string::npos) << r.err;
    }
  }
  std::ifstream in(plain);
  std::string kept;
  std::getline(in, kept);
  EXPECT_EQ(kept, "keep me");
}

TEST(CommandLine, SignalsAndQuitStopCleanlyAndRemoveLinkAndSocket) {
  TempDir dir;
  const std::string link = dir.path("tty");
  fs::create_symlink("/dev/null", link);  // left behind by an earlier run: replaced
  for (const char* how : {"TERM", "INT", "quit"}) {
    SimProcess sim{{"--link", link}};
    ASSERT_EQ(fs::read_symlink(link).string(), sim.device()) << how;
    const std::string socket = sim.scratch("control.sock");
    ASSERT_TRUE(fs::exists(socket));
    int status;
    if (std::string(how) == "quit") {
      EXPECT_EQ(sim.control("quit"), "ok bye");
      status = sim.stop(0);
    } else {
      status = sim.stop(std::string(how) == "TERM" ? SIGTERM : SIGINT);
    }
    EXPECT_EQ(status, 0) << how;
    EXPECT_FALSE(fs::is_symlink(link)) << how;
    EXPECT_FALSE(fs::exists(socket)) << how;
  }
}

TEST(CommandLine, DieWithParentStopsWhenItsStarterEnds) {
  TempDir dir;
  const std::string link = dir.path("tty");
  // The orphaned simulator comes to us rather than to init, so that we can
  // see how it ended.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  // A shell starts the simulator in the background, names it, and ends.
  const std::string script = std::string(BRIMTALLY_SIM_PATH) + " --die-with-parent --link " + link +
                             " >/dev/null 2>&1 & echo $!; sleep 1";
  const RunResult shell = runToCompletion({"/bin/sh", "-c", script}, 10000, false);
  ASSERT_EQ(shell.exitCode, 0);
  const pid_t sim = static_cast<pid_t>(std::stol(shell.out));
  int status = -1;
  for (int wait = 0; wait < 500; ++wait) {
    if (::waitpid(sim, &status, WNOHANG) == sim) break;
    status = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (status == -1) {
    ::kill(sim, SIGKILL);
    ::waitpid(sim, nullptr, 0);
  }
  ASSERT_NE(status, -1) << "the simulator outlived the shell that started it";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(fs::is_symlink(link));
}

TEST(CommandLine, LogRecordsEachLineWithMonotonicTimeAndDirection) {
  TempDir dir;
  const std::string log = dir.path("line.log");
  timespec before{};
  clock_gettime(CLOCK_MONOTONIC, &before);
  {
    SimProcess sim{{"--no-banner", "--log", log}};
    Line line{sim.device()};
    line.send(framed("01", "QC"));
    ASSERT_TRUE(line.readLine().has_value());
  }
  timespec after{};
  clock_gettime(CLOCK_MONOTONIC, &after);
  std::ifstream in(log);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream lines(text);
  std::string entry;
  double last = 0;
  bool sawIn = false, sawOut = false;
  while (std::getline(lines, entry)) {
    std::istringstream fields(entry);
    double t;
    std::string direction, rest;
    fields >> t >> direction;
    std::getline(fields, rest);
    EXPECT_GE(t, before.tv_sec + before.tv_nsec / 1e9 - 0.001) << entry;
    EXPECT_LE(t, after.tv_sec + after.tv_nsec / 1e9 + 0.001) << entry;
    EXPECT_GE(t, last) << entry;
    last = t;
    if (direction == "in" && rest.find("01 QC\\n\\r") != std::string::npos) sawIn = true;
    if (direction == "out" && rest.find(" 01 C:02CF\\r") != std::string::npos) sawOut = true;
  }
  EXPECT_TRUE(sawIn) << text;
  EXPECT_TRUE(sawOut) << text;
}

TEST(CommandLine, StartValuesSetReadingsBeforeMinMax) {
  SimProcess sim{{"--no-banner", "--drift", "0", "--set", "min4=5", "--set", "a4=100", "--set",
                  "a5=0x200", "--config", "8A"}};
  const std::string s = sim.control("state");
  EXPECT_EQ(jsonArray(s, "min"), (std::vector<long>{5, 0x200}));
  EXPECT_EQ(jsonArray(s, "max"), (std::vector<long>{100, 0x200}));
  EXPECT_EQ(jsonNumber(s, "config"), 0x8A);
}

TEST(CommandLine, PrinterTextGoesToThePrinterFile) {
  TempDir dir;
  const std::string printer = dir.path("printer.txt");
  {
    SimProcess sim{{"--no-banner", "--printer", printer}};
    Line line{sim.device()};
    line.send(framed("01", "S=Batch 7 done"));
    line.send(framed("01", "QC"));  // answered after the print is handled
    ASSERT_TRUE(line.readLine().has_value());
  }
  std::ifstream in(printer);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "Batch 7 done");
}
