// SPDX-License-Identifier: MIT
// What an RFC 2217 server sends: line data with 0xFF doubled, mixed with
// option negotiation, COM-PORT-OPTION answers and other telnet commands, cut
// into arbitrary pieces. The data must come out exactly as the line sent it,
// and answers must never reach it. With the first byte odd the rest is fed
// as it is, which must merely not fault.
#include <string>

#include "fuzz_input.h"
#include "serial/net/rfc2217_session.h"

namespace {

constexpr char kIac = '\xFF';

std::string escaped(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    out += c;
    if (c == kIac) out += kIac;
  }
  return out;
}

// A valid stream from the input, and the line data it carries.
void compose(bt_fuzz::FuzzInput& in, std::string& stream, std::string& data) {
  while (in.left() > 0) {
    switch (in.byte() % 4) {
      case 0: {
        const std::string piece = in.sized(64);
        data += piece;
        stream += escaped(piece);
        break;
      }
      case 1:  // WILL, WONT, DO or DONT of any option
        stream += {kIac, static_cast<char>(251 + in.byte() % 4), static_cast<char>(in.byte())};
        break;
      case 2:  // a COM-PORT-OPTION answer with any value
        stream += {kIac, '\xFA', 44, static_cast<char>(100 + in.byte() % 13)};
        stream += escaped(in.sized(6)) + kIac + '\xF0';
        break;
      default:  // NOP, data mark, break, go ahead and the like
        stream += {kIac, static_cast<char>(241 + in.byte() % 9)};
        break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bt_fuzz::FuzzInput in(data, size);
  const bool raw = in.byte() & 1;
  const uint8_t cut = in.byte();
  std::string stream, expected;
  if (raw) {
    stream = in.rest();
  } else {
    compose(in, stream, expected);
  }
  bt::ByteQueue received, outgoing;
  if (!received.allocate(static_cast<uint32_t>(stream.size() + 1)) || !outgoing.allocate(4096)) {
    return 0;
  }
  bt::Rfc2217Session session(received, outgoing);
  FUZZ_CHECK(session.start());
  const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
  for (size_t at = 0, piece = 1; at < stream.size(); at += piece) {
    piece = std::min<size_t>(stream.size() - at, 1 + (cut + at) % 7);
    session.receive(bytes + at, static_cast<uint32_t>(piece));
  }
  FUZZ_CHECK(received.size() <= stream.size());
  if (!raw) {
    const std::string got(reinterpret_cast<const char*>(received.data()), received.size());
    FUZZ_CHECK(got == expected);
  }
  return 0;
}
