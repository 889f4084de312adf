#pragma once
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
  void powerUp();

  // Advances the live values by `elapsedNs`: analog inputs and the frequency
  // take a random step of at most `drift`, the totalizer counts the frequency.
  void advance(int64_t elapsedNs, int drift, std::mt19937_64& rng);

  // Sets a named value (see `fieldNames`); returns an error text or nothing.
  std::optional<std::string> setField(std::string_view field, std::string_view value);
  static const char* fieldHelp();

  // Queues keypad keys (space and hex digits); returns false for other text.
  bool queueKeys(std::string_view keys);
  // Takes up to `max` queued keys.
  std::string takeKeys(size_t max);

  void resetMinMax();
  void resetTotalizer() { totalizer_ = 0; }
  // Digital inputs as the module reads them: lines set as outputs (direction
  // bit 0) read back their output latch.
  int digitalIn() const {
    return ((externalIn_ & direction_) | (digitalOut_ & ~direction_)) & 0xFF;
  }
  // Reading scaled to hundredths of a volt over a 0-5 V range.
  int volts(int channel) const { return analogIn_[static_cast<size_t>(channel)] * 500 / 4095; }

  std::string toJson() const;

  // Identity and configuration.
  std::string address;
  std::string name;
  uint16_t config;
  std::array<uint8_t, 8> serial{};

  // Live values.
  std::array<int, 6> analogIn_{};
  std::array<int, 2> min45_{}, max45_{};
  int externalIn_ = 0;
  int frequency_ = 1000;
  uint32_t totalizer_ = 0;
  double totalizerFraction_ = 0;

  // Current settings (framed commands).
  std::array<int, 2> analogOut_{};
  std::array<int, 6> lowLimit_{}, highLimit_{};
  int digitalOut_ = 0;
  int direction_ = 0xFF;
  int debounce_ = 0;
  int pwmPeriod_ = 0;
  int pwmPercent_ = 0;

  // Defaults kept by the module (console commands), loaded at power-up.
  std::array<int, 6> defaultLow_{}, defaultHigh_{};
  int defaultDirection_ = 0xFF;
  int defaultPwmPeriod_ = 1000;
  int defaultPwmHigh_ = 500;
  int networkBaud_ = 9600;
  int commDelayMs_ = 50;

  std::deque<char> keys_;
  std::vector<std::string> printed_;  // the latest printer lines

  static int channelMax(int channel) { return channel >= 4 ? 0xFFF : 0xFF; }

 private:
  void trackMinMax();
};

}  // namespace sim
