// SPDX-License-Identifier: MIT
// One simulated module: its identity, settings, live values and defaults.
#ifndef BRIMTALLY_SIM_MODULE_H
#define BRIMTALLY_SIM_MODULE_H

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// One simulated module: its settings, its live inputs and the defaults it
// reloads at power-up. Values are kept in the ranges the hardware has
// (8-bit channels 0-3, 12-bit channels 4 and 5, 8-bit ports).
class Module {
 public:
  Module(std::string address, std::string name, uint16_t config);

  // Back to the power-up state: defaults reloaded, min/max and totalizer
  // cleared, keys forgotten. Address, name, configuration, serial number,
  // defaults and the externally driven inputs survive.
  void power_up();

  // Advances the live values by `elapsed_ns`: analog inputs and the frequency
  // take a random step of at most `drift`, the totalizer counts the frequency.
  void advance(int64_t elapsed_ns, int drift, std::mt19937_64& rng);

  // Sets a named value (see `field_names`); returns an error text or nothing.
  std::optional<std::string> set_field(std::string_view field, std::string_view value);
  static const char* field_help();

  // Queues keypad keys (space and hex digits); returns false for other text.
  bool queue_keys(std::string_view text);
  // Takes up to `max` queued keys.
  std::string take_keys(size_t max);

  void reset_min_max();
  void reset_totalizer() { totalizer = 0; }
  // Digital inputs as the module reads them: lines set as outputs (direction
  // bit 0) read back their output latch.
  int digital_in() const { return ((external_in & direction) | (digital_out & ~direction)) & 0xFF; }
  // Reading scaled to hundredths of a volt over a 0-5 V range.
  int volts(int channel) const { return analog_in[static_cast<size_t>(channel)] * 500 / 4095; }

  // Identity and configuration.
  std::string address;
  std::string name;
  uint16_t config;
  std::array<uint8_t, 8> serial{};

  // Live values.
  std::array<int, 6> analog_in{};
  std::array<int, 2> min45{}, max45{};
  int external_in = 0;
  int frequency = 1000;
  uint32_t totalizer = 0;
  double totalizer_fraction = 0;

  // Current settings (framed commands).
  std::array<int, 2> analog_out{};
  std::array<int, 6> low_limit{}, high_limit{};
  int digital_out = 0;
  int direction = 0xFF;
  int debounce = 0;
  int pwm_period = 0;
  int pwm_percent = 0;

  // Defaults kept by the module (console commands), loaded at power-up.
  std::array<int, 6> default_low{}, default_high{};
  int default_direction = 0xFF;
  int default_pwm_period = 1000;
  int default_pwm_high = 500;
  int network_baud = 9600;
  int comm_delay_ms = 50;

  std::deque<char> keys;
  std::vector<std::string> printed;  // the latest printer lines

  static int channel_max(int channel) { return channel >= 4 ? 0xFFF : 0xFF; }

 private:
  void track_min_max();
};

}  // namespace sim

#endif  // BRIMTALLY_SIM_MODULE_H
