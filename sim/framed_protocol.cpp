#include "framed_protocol.h"

#include <optional>

#include "frame_codec.h"

namespace sim {

namespace {

// Replies must fit the 99 characters a reader accepts before the CR.
constexpr size_t kMaxReplyChars = 99;
constexpr size_t kMaxPrinterLines = 16;

std::vector<std::string_view> splitBlanks(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) parts.push_back(text.substr(start, i - start));
  }
  return parts;
}

std::string field(const char* tag, uint32_t value, int width) {
  return std::string(" ") + tag + ":" + hexDigits(value, width);
}

std::string analogFields(const Module& m) {
  std::string out;
  for (int ch = 0; ch < 6; ++ch) {
    const std::string tag = "A" + std::to_string(ch);
    out += field(tag.c_str(), static_cast<uint32_t>(m.analogIn_[static_cast<size_t>(ch)]),
                 ch >= 4 ? 3 : 2);
  }
  return out;
}

std::string minMaxFields(const Module& m) {
  std::string out;
  for (int i = 0; i < 2; ++i) {
    const auto idx = static_cast<size_t>(i);
    out += field(i == 0 ? "A4" : "A5", static_cast<uint32_t>(m.analogIn_[4 + idx]), 3);
    out += field("V", static_cast<uint32_t>(m.volts(4 + i)), 3);
    out += field("X", static_cast<uint32_t>(m.max45_[idx]), 3);
    out += field("N", static_cast<uint32_t>(m.min45_[idx]), 3);
  }
  return out;
}

std::string serialField(const Module& m) {
  // Eight groups, each followed by its separator.
  std::string out = " S:";
  for (uint8_t b : m.serial) out += hexDigits(b, 2) + " ";
  return out;
}

std::optional<std::vector<uint32_t>> hexArgs(const std::vector<std::string_view>& args,
                                             size_t count, int maxDigits) {
  if (args.size() != count) return std::nullopt;
  std::vector<uint32_t> values;
  for (auto a : args) {
    const auto v = parseHex(a, maxDigits);
    if (!v) return std::nullopt;
    values.push_back(*v);
  }
  return values;
}

bool applySetting(Module& m, std::string_view cmd, const std::vector<std::string_view>& args) {
  if (cmd == "SD") {
    const auto v = hexArgs(args, 2, 3);
    if (!v) return false;
    m.analogOut_ = {static_cast<int>((*v)[0]), static_cast<int>((*v)[1])};
    return true;
  }
  if (cmd == "SL") {
    if (args.size() != 3) return false;
    const auto ch = parseHex(args[0], 1);
    if (!ch || *ch > 5) return false;
    const int width = *ch >= 4 ? 3 : 2;
    const auto lo = parseHex(args[1], width);
    const auto hi = parseHex(args[2], width);
    if (!lo || !hi) return false;
    m.lowLimit_[*ch] = static_cast<int>(*lo);
    m.highLimit_[*ch] = static_cast<int>(*hi);
    return true;
  }
  if (cmd == "SO" || cmd == "SB" || cmd == "ST") {
    const auto v = hexArgs(args, 1, 2);
    if (!v) return false;
    int& slot = cmd == "SO" ? m.digitalOut_ : cmd == "SB" ? m.direction_ : m.debounce_;
    slot = static_cast<int>((*v)[0]);
    return true;
  }
  if (cmd == "SP") {
    const auto v = hexArgs(args, 2, 4);
    if (!v) return false;
    m.pwmPeriod_ = static_cast<int>((*v)[0]);
    m.pwmPercent_ = static_cast<int>((*v)[1]);
    return true;
  }
  if (cmd == "RM" || cmd == "RT") {
    if (!args.empty()) return false;
    if (cmd == "RM") {
      m.resetMinMax();
    } else {
      m.resetTotalizer();
    }
    return true;
  }
  return false;
}

}  // namespace

std::string queryBody(Module& m, std::string_view cmd) {
  if (cmd == "QA") return analogFields(m);
  if (cmd == "QM") {
    std::string body = minMaxFields(m);
    if (m.config & 0x20) m.resetMinMax();  // "clear min/max after query"
    return body;
  }
  if (cmd == "QD") {
    return field("D0", static_cast<uint32_t>(m.analogOut_[0]), 3) +
           field("D1", static_cast<uint32_t>(m.analogOut_[1]), 3);
  }
  if (cmd == "QI") return field("I", static_cast<uint32_t>(m.digitalIn()), 2);
  if (cmd == "QO") return field("O", static_cast<uint32_t>(m.digitalOut_), 2);
  if (cmd == "QB") return field("B", static_cast<uint32_t>(m.direction_), 2);
  if (cmd == "QC") return field("C", m.config, 4);
  if (cmd == "QF") return field("F", static_cast<uint32_t>(m.frequency_), 4);
  if (cmd == "QT") return field("T", m.totalizer_, 6);
  if (cmd == "QS") return serialField(m);
  if (cmd == "QE") {
    // Everything but the serial number and min/max, which have their own
    // queries: all of it would not fit one line. "C:" ends a reader's scan,
    // so it comes last.
    return analogFields(m) + field("D0", static_cast<uint32_t>(m.analogOut_[0]), 3) +
           field("D1", static_cast<uint32_t>(m.analogOut_[1]), 3) +
           field("I", static_cast<uint32_t>(m.digitalIn()), 2) +
           field("O", static_cast<uint32_t>(m.digitalOut_), 2) +
           field("B", static_cast<uint32_t>(m.direction_), 2) +
           field("F", static_cast<uint32_t>(m.frequency_), 4) + field("T", m.totalizer_, 6) +
           field("C", m.config, 4);
  }
  return {};
}

FramedResult handleFramed(std::string_view line, std::vector<Module>& modules) {
  FramedResult result;
  if (line.size() < 4 || line[0] != '#') return result;
  if (!frameChecksumValid(line)) {
    result.outcome = FramedOutcome::kBadChecksum;
    return result;
  }
  // Position 3 separates the checksum from the address.
  std::string_view rest = line.substr(4);
  const size_t addrEnd = rest.find(' ');
  const std::string_view address = rest.substr(0, addrEnd);
  for (auto& m : modules) {
    if (m.address == address) result.module = &m;
  }
  if (result.module == nullptr) {
    result.outcome = FramedOutcome::kOtherAddress;
    return result;
  }
  Module& m = *result.module;
  rest = addrEnd == std::string_view::npos ? std::string_view{} : rest.substr(addrEnd + 1);

  if (rest.substr(0, 2) == "S=") {
    std::string text(rest.substr(2));
    m.printed_.push_back(text);
    if (m.printed_.size() > kMaxPrinterLines) m.printed_.erase(m.printed_.begin());
    result.printed = std::move(text);
    result.outcome = FramedOutcome::kActed;
    return result;
  }
  auto parts = splitBlanks(rest);
  if (parts.empty()) return result;
  const std::string_view cmd = parts.front();
  parts.erase(parts.begin());

  if (cmd == "Q") {
    if (!parts.empty()) return result;
    // Keys follow a blank, which a key reader keeps as a key of its own; at
    // most 18 go in one reply so that blank and keys fit a 19-key field.
    const std::string keys = m.takeKeys(18);
    result.reply = buildReply(m.address, keys.empty() ? std::string() : " " + keys);
    result.outcome = FramedOutcome::kReply;
    return result;
  }
  if (cmd.size() == 2 && cmd[0] == 'Q') {
    if (!parts.empty()) return result;
    std::string body = queryBody(m, cmd);
    if (body.empty()) return result;
    std::string reply = buildReply(m.address, body);
    if (reply.size() > kMaxReplyChars) {
      // Long addresses: drop the blanks between fields, which no reader needs.
      std::string packed;
      for (char c : body)
        if (c != ' ' || cmd == "QS") packed += c;
      reply = buildReply(m.address, packed);
    }
    result.reply = std::move(reply);
    result.outcome = FramedOutcome::kReply;
    return result;
  }
  if (applySetting(m, cmd, parts)) result.outcome = FramedOutcome::kActed;
  return result;
}

}  // namespace sim
