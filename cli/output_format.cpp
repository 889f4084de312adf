// SPDX-License-Identifier: MIT
#include "output_format.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace cli {

// The tool is built on the tools' common library.
using namespace toolkit;

namespace {

std::string plain_text(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  return value.dump();
}

std::string csv_cell(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

void write_table(std::ostream& out, const Json& object) {
  size_t width = 0;
  for (const auto& [name, value] : object.items()) width = std::max(width, name.size());
  for (const auto& [name, value] : object.items()) {
    std::string text = plain_text(value);
    if (value.is_number_integer()) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%lX", static_cast<unsigned long>(value.get<long>()));
      text += std::string(text.size() < 8 ? 8 - text.size() : 1, ' ') + hex;
    } else if (value.is_string() && (text.empty() || text.front() == ' ' || text.back() == ' ')) {
      text = "\"" + text + "\"";  // so the blanks of KeyText show
    }
    out << name << std::string(width + 2 - name.size(), ' ') << text << '\n';
  }
}

void write_columns(std::ostream& out, const Json& rows) {
  if (rows.empty()) return;
  std::vector<std::string> names;
  std::vector<size_t> widths;
  for (const auto& [name, value] : rows.front().items()) {
    names.push_back(name);
    widths.push_back(name.size());
  }
  for (const Json& row : rows) {
    size_t i = 0;
    for (const auto& [name, value] : row.items()) {
      widths[i] = std::max(widths[i], plain_text(value).size());
      ++i;
    }
  }
  auto line = [&](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
      out << cells[i];
      if (i + 1 < cells.size()) out << std::string(widths[i] + 2 - cells[i].size(), ' ');
    }
    out << '\n';
  };
  line(names);
  for (const Json& row : rows) {
    std::vector<std::string> cells;
    for (const auto& [name, value] : row.items()) cells.push_back(plain_text(value));
    line(cells);
  }
}

std::string csv_header(const Json& object) {
  std::string line;
  for (const auto& [name, value] : object.items()) line += (line.empty() ? "" : ",") + name;
  return line;
}

std::string csv_row(const Json& object) {
  std::string line;
  bool first = true;
  for (const auto& [name, value] : object.items()) {
    if (!first) line += ',';
    first = false;
    line += csv_cell(plain_text(value));
  }
  return line;
}

void write_object(std::ostream& out, const Json& object, Format format) {
  switch (format) {
    case Format::kJson:
      out << object.dump() << '\n';
      break;
    case Format::kCsv:
      out << csv_header(object) << '\n' << csv_row(object) << '\n';
      break;
    case Format::kTable:
      write_table(out, object);
      break;
  }
}

void flush_or_fail(std::ostream& out) {
  errno = 0;
  out.flush();
  if (out) return;
  const int error = errno;
  throw Failure(kExitFailure,
                std::string("the output could not be written") +
                    (error != 0 ? std::string(" (") + std::strerror(error) + ")" : "") +
                    "; check where it goes (a full disk, a closed file)");
}

}  // namespace cli
