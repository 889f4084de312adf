// SPDX-License-Identifier: MIT
#include "set_request.h"

#include "exit_codes.h"

namespace gateway {

namespace {

const toolkit::Setting* find_setting(const std::string& name) {
  for (const toolkit::Setting& s : toolkit::settings()) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

std::string names(const toolkit::Setting& setting) {
  std::string out;
  for (const toolkit::SettingArgument& a : setting.arguments) out += " " + std::string(a.name);
  return out;
}

// An argument as the tool would have it on its command line.
std::string argument_text(const Json& value, const toolkit::Setting& setting) {
  if (value.is_number_unsigned()) return std::to_string(value.get<uint64_t>());
  if (value.is_string()) return value.get<std::string>();
  throw Refusal("set " + std::string(setting.name) +
                ": each argument must be a non-negative integer or a string such as \"0x1F\"");
}

}  // namespace

void parse_set(const std::string& setting, const std::string& payload, size_t address_length,
               SetRequest& request) {
  request.setting = setting;
  Json body = Json::array();
  if (payload.find_first_not_of(" \t\r\n") != std::string::npos) {
    body = Json::parse(payload, nullptr, false);
    if (body.is_discarded()) throw Refusal("the payload is not JSON");
  }
  if (body.is_object()) {
    for (const auto& [key, value] : body.items()) {
      if (key != "args" && key != "transaction") {
        throw Refusal("unknown member \"" + key + "\"; give \"args\" and \"transaction\"");
      }
    }
    if (body.contains("transaction")) request.transaction = body["transaction"];
    body = body.contains("args") ? body["args"] : Json::array();
  }
  if (!body.is_array()) {
    throw Refusal("the payload must be a JSON array of arguments or {\"args\": [...]}");
  }
  request.args = body;
  const toolkit::Setting* entry = find_setting(setting);
  if (entry == nullptr && setting != "print") {
    std::string known;
    for (const toolkit::Setting& s : toolkit::settings()) known += " " + std::string(s.name);
    throw Refusal("unknown setting \"" + setting + "\"; settings:" + known + " print");
  }
  try {
    if (entry == nullptr) {
      if (body.size() != 1 || !body[0].is_string()) {
        throw Refusal("set print takes one argument: the text, as a JSON string");
      }
      request.text = body[0].get<std::string>();
      toolkit::check_print_text(request.text, address_length);
      return;
    }
    if (body.size() != entry->arguments.size()) {
      throw Refusal("set " + setting + " takes " + std::to_string(entry->arguments.size()) +
                    " argument(s):" + names(*entry) + "; got " + std::to_string(body.size()));
    }
    std::vector<std::string> texts;
    for (const Json& value : body) texts.push_back(argument_text(value, *entry));
    request.values = toolkit::parse_arguments(*entry, texts);
    request.entry = entry;
  } catch (const toolkit::Failure& failure) {
    throw Refusal(failure.what());
  }
}

std::string response(const SetRequest& request, int status, const std::string& text,
                     const Json& confirmed) {
  Json out = {
      {"setting", request.setting}, {"args", request.args}, {"status", status}, {"text", text}};
  if (!confirmed.is_null()) out["confirmed"] = confirmed;
  if (!request.transaction.is_null()) out["transaction"] = request.transaction;
  // Texts quote what the requester sent: never let a byte of it throw here.
  return out.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace gateway
