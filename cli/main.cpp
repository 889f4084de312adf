// brimtally: the library's operations from a shell, for technicians and scripts.
#include <CLI/CLI.hpp>
#include <array>
#include <iostream>

#include "commands.h"
#include "standard_streams.h"

namespace {

using namespace cli;

constexpr const char* kExamples =
    "Examples:\n"
    "  brimtally ports\n"
    "  brimtally get all-io --port /dev/ttyUSB0 --json\n"
    "  brimtally get serial-number --address 05 --csv\n"
    "  brimtally set pwm 1000 50          (period 1000, percent 50)\n"
    "  brimtally set digital-out 0x5A --port COM2\n"
    "  brimtally send QC                  (a console command; prints its reply lines)\n"
    "  brimtally scan --from 00 --to 1F --json\n"
    "  brimtally watch all-io --interval 0.5 --count 10 > log.csv\n"
    "  BRIMTALLY_TRACE=/tmp/line.log brimtally get digital-in\n";

std::string version_text() {
  ModuleRecord record{};
  record = btInitDLL(&record);
  return "brimtally " BRIMTALLY_TOOL_VERSION " (library: " + std::string(record.DllVersion) + ")";
}

void add_format(CLI::App* command, Format& format, bool csv) {
  auto* json = command->add_flag_callback(
      "--json", [&format] { format = Format::kJson; }, "JSON output");
  if (csv) {
    command
        ->add_flag_callback(
            "--csv", [&format] { format = Format::kCsv; }, "CSV output")
        ->excludes(json);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened, so the port never lands on descriptor 1; an
  // output nobody can read is a failure, not a silent success.
  if (standard_streams::guard() & standard_streams::kOutput) {
    std::cerr << "brimtally: standard output is closed, so nothing could be shown; nothing was "
                 "done (redirect it, e.g. >/dev/null)\n";
    return kExitFailure;
  }
  CLI::App app{"Talks to Brimtally I/O modules on a serial line through libbrimtally.",
               "brimtally"};
  app.footer(std::string(kExamples) + "\n" + kExitCodeHelp +
             "\nBRIMTALLY_COM1 / BRIMTALLY_COM2 name the devices of COM1 and COM2 (default "
             "/dev/ttyS0, /dev/ttyS1).\nBRIMTALLY_TRACE=stderr|FILE logs every line written and "
             "read.");
  app.set_version_flag("--version", version_text, "show the tool's and the library's version");
  app.require_subcommand(1);
  app.fallthrough();

  CommonOptions common;
  app.add_option("--port", common.port, "1, 2, COM1, COM2 or a device path (default 1)")
      ->take_last();
  app.add_option("--baud", common.baud, "line rate (default 9600)")
      ->check(CLI::IsMember(std::vector<unsigned>(std::begin(kBaudRates), std::end(kBaudRates))));
  app.add_option("--timeout", common.timeout_ms,
                 "reply time-out in ms (default: the longest reply's wire time + 30 ms)")
      ->check(CLI::Range(1, 32767));
  app.add_option("--address", common.address, "module address (default 01)")
      ->check([](const std::string& a) {
        return a.size() < BT_ADDRESS_LEN && a.find_first_of(" \t#$") == std::string::npos
                   ? std::string()
                   : std::string("at most 19 characters, no blank, '#' or '$'");
      });
  app.add_flag("--trace", common.trace, "log the line traffic on standard error");

  Format format = Format::kTable;
  bool json = false;
  std::function<int()> run;

  auto* ports = app.add_subcommand("ports", "list the serial ports and who may use them");
  ports->add_flag("--json", json, "JSON output");
  ports->callback([&] { run = [&] { return run_ports(json); }; });

  std::string query_name;
  auto* get = app.add_subcommand("get", "ask a module one query and print its fields");
  get->add_option("QUERY", query_name, "the query")
      ->required()
      ->check(CLI::IsMember(query_names()));
  add_format(get, format, true);
  get->callback([&] { run = [&] { return run_get(common, *find_query(query_name), format); }; });

  auto* set = app.add_subcommand("set", "send one setting (no reply is read)");
  set->require_subcommand(1);
  std::array<std::string, 3> arguments;  // the most any setting takes
  for (const Setting& setting : settings()) {
    auto* sub = set->add_subcommand(std::string(setting.name), std::string(setting.help));
    for (size_t i = 0; i < setting.arguments.size(); ++i) {
      sub->add_option(std::string(setting.arguments[i].name), arguments.at(i),
                      "decimal, or hexadecimal after 0x")
          ->required();
    }
    sub->callback([&] {
      run = [&] {
        const std::vector<std::string> given(arguments.begin(),
                                             arguments.begin() + setting.arguments.size());
        return run_set(common, setting, given);
      };
    });
  }
  std::vector<std::string> words;
  auto* print = set->add_subcommand("print", "send a text to the module's printer");
  print->add_option("TEXT", words, "the text (words are joined by blanks)")->required();
  print->callback([&] { run = [&] { return run_print(common, CLI::detail::join(words, " ")); }; });

  std::string text;
  int lines = -1;
  auto* send = app.add_subcommand("send", "send a raw line (CR added) and print the reply lines");
  send->add_option("TEXT", text, "the line, e.g. QC or \"A NAME\"")->required();
  send->add_option("--lines", lines, "stop after N reply lines (default: all until the time-out)")
      ->check(CLI::NonNegativeNumber);
  send->callback([&] { run = [&] { return run_send(common, text, lines); }; });

  ScanRange range;
  auto* scan = app.add_subcommand("scan", "list the addresses that answer");
  scan->add_option("--from", range.from, "first address, hexadecimal (default 00)");
  scan->add_option("--to", range.to, "last address, hexadecimal (default FF)");
  scan->add_flag("--json", json, "JSON output");
  scan->callback([&] { run = [&] { return run_scan(common, range, json); }; });

  WatchPlan plan;
  auto* watch = app.add_subcommand("watch", "sample a query repeatedly: CSV or JSON lines");
  watch->add_option("QUERY", query_name, "the query")
      ->required()
      ->check(CLI::IsMember(query_names()));
  watch->add_option("--interval", plan.interval_s, "seconds between samples")
      ->required()
      ->check(CLI::Range(0.001, 86400.0));
  watch->add_option("--count", plan.count, "samples to take (default: until Ctrl-C)")
      ->check(CLI::PositiveNumber);
  watch->add_flag("--json", plan.json, "JSON lines instead of CSV");
  watch->callback([&] { run = [&] { return run_watch(common, *find_query(query_name), plan); }; });

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // A word that names no command reads better than "a subcommand is required".
    const bool in_set = set->parsed() && set->get_subcommands().empty();
    std::vector<std::string> left = set->remaining();
    if (left.empty()) left = app.remaining();
    if ((in_set || app.get_subcommands().empty()) && !left.empty()) {
      std::cerr << "brimtally: unknown " << (in_set ? "setting" : "command") << " '" << left.front()
                << "'; see 'brimtally " << (in_set ? "set " : "") << "--help'\n";
    } else {
      std::cerr << "brimtally: " << e.what() << "; see 'brimtally --help'\n";
    }
    return kExitUsage;
  }
  try {
    const int code = run();
    std::cout.flush();
    if (!std::cout) {
      std::cerr << "brimtally: the output could not be written\n";
      return kExitFailure;
    }
    return code;
  } catch (const Failure& failure) {
    std::cout.flush();
    std::cerr << "brimtally: " << failure.what() << '\n';
    return failure.code();
  } catch (const std::exception& e) {
    std::cerr << "brimtally: " << e.what() << '\n';
    return kExitFailure;
  }
}
