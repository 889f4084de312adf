// SPDX-License-Identifier: MIT
#include "set_request.h"

#include <cctype>
#include <cmath>

#include "exit_codes.h"

namespace gateway {

namespace {

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

// The arguments of a payload read as JSON: an array, or {"args": [...],
// "transaction": ...}.
Json arguments(Json body, SetRequest& request) {
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
  return body;
}

Json parsed(const std::string& payload) {
  if (payload.find_first_not_of(" \t\r\n") == std::string::npos) return Json::array();
  Json body = Json::parse(payload, nullptr, false);
  if (body.is_discarded()) throw Refusal("the payload is not JSON");
  return body;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// ON or OFF, as a switch sends it, or the forms a program would write.
int32_t bit_value(const Json& value, const std::string& where) {
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  if (value.is_number_unsigned() && value.get<uint64_t>() <= 1) return value.get<int32_t>();
  if (value.is_string()) {
    const std::string word = lower(value.get<std::string>());
    if (word == "on" || word == "1" || word == "true") return 1;
    if (word == "off" || word == "0" || word == "false") return 0;
  }
  throw Refusal(where + " takes ON or OFF (or 1, 0, true, false); nothing sent");
}

// A number in the whole setting's field, checked as its argument would be.
int32_t field_value(const Json& value, const toolkit::Setting& whole, int index,
                    const std::string& where) {
  std::string text;
  if (value.is_number_integer() || value.is_string()) {
    text = value.is_string() ? value.get<std::string>() : value.dump();
  } else if (value.is_number_float() && std::trunc(value.get<double>()) == value.get<double>()) {
    // A slider sends 2000.0; a whole number too large for any field stays too large.
    const double whole = value.get<double>();
    text = std::fabs(whole) < 1e12 ? std::to_string(static_cast<int64_t>(whole))
                                   : std::string(13, '9');
  } else {
    throw Refusal(where + " takes a whole number; nothing sent");
  }
  const toolkit::Setting one{whole.name, "", {whole.arguments[index]}, nullptr};
  try {
    return toolkit::parse_arguments(one, {text}).front();
  } catch (const toolkit::Failure& failure) {
    throw Refusal(failure.what());
  }
}

}  // namespace

void parse_set(const std::string& setting, const std::string& payload, size_t address_length,
               SetRequest& request) {
  request.setting = setting;
  const Json body = arguments(parsed(payload), request);
  const toolkit::Setting* entry = toolkit::find_setting(setting);
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

void parse_control(const Control& control, const std::string& payload, SetRequest& request) {
  request.setting = control.name;
  request.entry = toolkit::find_setting(control.setting);
  request.control = &control;
  const std::string where = "set " + control.name;
  if (control.kind == Control::Kind::kReset) {
    throw Refusal(where + " is a whole setting: publish to set/" + control.setting);
  }
  std::string word = payload;
  word.erase(0, word.find_first_not_of(" \t\r\n"));
  word.erase(word.find_last_not_of(" \t\r\n") + 1);
  // A dashboard sends a bare word or number: what is not JSON is taken as a word.
  Json body = word.empty() ? Json::array() : Json::parse(word, nullptr, false);
  if (body.is_discarded()) body = word;
  if (!body.is_array() && !body.is_object()) body = Json::array({body});
  body = arguments(body, request);
  if (body.size() != 1)
    throw Refusal(where + " takes one value; got " + std::to_string(body.size()));
  request.control_value = control.kind == Control::Kind::kBit
                              ? bit_value(body[0], where)
                              : field_value(body[0], *request.entry, control.index, where);
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
