// SPDX-License-Identifier: MIT
// The simulator as a command-line tool: help, bad options, exit status,
// signals, link and socket clean-up, the log and the printer file.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>

#include <filesystem>
#include <fstream>

#include "sim_process.h"

using namespace simtest;
namespace fs = std::filesystem;

TEST(CommandLine, ExitStatusIs0ForHelp2ForABadOptionAnd1ForARuntimeFailure) {
  TempDir dir;
  const std::string plain = dir.path("plain");
  std::ofstream(plain) << "keep me";
  const std::string addr19(19, 'a'), name32(32, 'n');
  const std::pair<int, std::vector<std::string>> cases[] = {
      {0, {"--help"}},
      {0, {"-h"}},
      {0, {"--version"}},
      // The edges of each range are accepted (--help ends the parse there).
      {0,
       {"--baud",    "50",      "--baud=4000000", "--drift", "4095",     "--address",   addr19,
        "--address", "",        "--name",         name32,    "--config", "FFFF",        "--fault",
        "drop=100",  "--fault", "delay=0",        "--seed",  "0",        "--no-banner", "--help"}},
      {2, {"--bogus"}},
      {2, {"--baud"}},
      {2, {"--baud", "fast"}},
      {2, {"--baud", "49"}},
      {2, {"--baud", "4000001"}},
      {2, {"--drift", "4096"}},
      {2, {"--address", "a b"}},
      {2, {"--address", "a$"}},
      {2, {"--address", "a#"}},
      {2, {"--address", addr19 + "a"}},
      {2, {"--address", "01", "--address", "01"}},
      {2, {"--name", name32 + "n"}},
      {2, {"--drop", "101"}},
      {2, {"--fault", "vanish"}},
      {2, {"--fault", "delay=-1"}},
      {2, {"--config", "12345"}},
      {2, {"--set", "a4"}},
      {2, {"--seed", "x"}},
      {2, {"--no-banner=1"}},
      {1, {"--link", plain}},
      {1, {"--control", plain}},
      {1, {"--set", "a9=1"}},
      {1, {"--set", "a0=256"}},
      {1, {"--log", dir.path("missing/dir/log")}},
      {1, {"--printer", dir.path("missing/dir/printer")}},
  };
  for (const auto& [status, args] : cases) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
    const RunResult r = runToCompletion(args);
    EXPECT_EQ(r.exitCode, status);
    if (status == 0) {
      EXPECT_EQ(r.out.rfind(args[0] == "--version" ? "brimtally-sim 1." : "Usage: ", 0), 0u);
      EXPECT_EQ(r.err, "");
      continue;
    }
    EXPECT_EQ(r.err.rfind("brimtally-sim: ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "") << "no device path on failure";
    // A bad option is named in the message.
    if (status == 2) {
      EXPECT_NE(r.err.find(args[0].substr(0, args[0].find('='))), std::string::npos) << r.err;
    }
  }
  std::string kept;
  std::getline(std::ifstream(plain), kept);
  EXPECT_EQ(kept, "keep me");
}

TEST(CommandLine, SignalsAndQuitStopCleanlyAndRemoveLinkAndSocket) {
  TempDir dir;
  const std::string link = dir.path("tty");
  fs::create_symlink("/dev/null", link);        // left behind by an earlier run: replaced
  for (const int how : {SIGTERM, SIGINT, 0}) {  // 0: the quit command
    SimProcess sim{{"--link", link}};
    ASSERT_EQ(fs::read_symlink(link).string(), sim.device()) << how;
    const std::string socket = sim.scratch("control.sock");
    ASSERT_TRUE(fs::exists(socket));
    if (how == 0) {
      EXPECT_EQ(sim.control("quit"), "ok bye");
    }
    EXPECT_EQ(sim.stop(how), 0) << how;
    EXPECT_FALSE(fs::is_symlink(link)) << how;
    EXPECT_FALSE(fs::exists(socket)) << how;
  }
}

TEST(CommandLine, ASecondSimulatorOnTheSameLinkOrSocketIsRefusedAndTakesNothing) {
  TempDir dir;
  const std::string link = dir.path("tty");
  SimProcess first{{"--link", link}};
  const std::string socket = first.scratch("control.sock");
  for (const auto& args : {std::vector<std::string>{"--link", link}, {"--control", socket}}) {
    const RunResult r = runToCompletion(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(args[0] + " " + args[1] + ": another"), std::string::npos) << r.err;
  }
  EXPECT_EQ(fs::read_symlink(link).string(), first.device());
  EXPECT_TRUE(fs::is_socket(socket));
  // One answer to an over-long control line, however its bytes arrive.
  EXPECT_EQ(first.control(std::string(10000, 'x')), "error command line too long");
  EXPECT_EQ(first.control("path"), "ok " + first.device());
}

TEST(CommandLine, DieWithParentStopsWhenItsStarterEnds) {
  TempDir dir;
  const std::string link = dir.path("tty");
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // the orphan comes to us
  // A shell starts the simulator, names it and ends. The simulator shares the
  // shell's output, which ends when the simulator does.
  const std::string script = std::string(BRIMTALLY_SIM_PATH) + " --die-with-parent --link " + link +
                             " 2>/dev/null & echo $! >&2; sleep 1";
  const RunResult shell = runToCompletion({"/bin/sh", "-c", script}, 8000, false);
  const pid_t pid = static_cast<pid_t>(std::stol(shell.err));
  int status = -1;
  ::kill(pid, SIGKILL);  // too late for one that stopped by itself
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "outlived its starter";
  EXPECT_EQ(shell.out.rfind("/dev/", 0), 0u) << shell.out;  // it had started
  EXPECT_FALSE(fs::is_symlink(link));                       // and stopped as on SIGTERM
}

TEST(CommandLine, LogRecordsEachLineWithMonotonicTimeAndPrinterTextGoesToItsFile) {
  TempDir dir;
  const std::string log = dir.path("line.log"), printer = dir.path("printer.txt");
  auto monotonic = [] {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
  };
  const double before = monotonic();
  {
    SimProcess sim{{"--no-banner", "--log", log, "--printer", printer}};
    Line line{sim.device()};
    line.send(framed("01", "S=Batch 7 done") + framed("01", "QC"));
    ASSERT_TRUE(line.readLine().has_value());  // after the print was handled
  }
  const double after = monotonic();
  std::ifstream in(log);
  std::string direction, rest, seen;
  double t, last = before - 0.001;
  while (in >> t >> direction && std::getline(in, rest)) {
    EXPECT_GE(t, last) << rest;
    EXPECT_LE(t, after + 0.001) << rest;
    last = t;
    if (direction != "event") seen += direction + rest + "|";
  }
  std::string printerText;
  std::getline(std::ifstream(printer), printerText);
  EXPECT_EQ(printerText, "Batch 7 done");
  EXPECT_NE(seen.find(" 01 S=Batch 7 done\\n\\r|in    #"), std::string::npos) << seen;
  EXPECT_NE(seen.find(" 01 QC\\n\\r|out   $"), std::string::npos) << seen;
  EXPECT_NE(seen.find(" 01 C:02CF\\r|"), std::string::npos) << seen;
}
