// SPDX-License-Identifier: MIT
// Requests from the broker: gets and settings, checked before anything goes
// on the line, queued per module, and answered on the module's response
// topic and the requester's own.
#include "controls.h"
#include "discovery.h"
#include "gateway.h"
#include "status_words.h"
#include "topic_grammar.h"

namespace gateway {

namespace {

constexpr size_t kLargestPayload = 4096;
constexpr size_t kLargestCorrelation = 4096;

// Why the requester's MQTT 5 response topic or correlation data cannot be
// used; "" when they can.
std::string reply_fault(const Letter& letter) {
  if (letter.has_response_topic) {
    const std::string fault = topic_name_fault(letter.response_topic);
    if (!fault.empty()) return "the response topic " + fault + "; nothing done";
  }
  if (letter.correlation.size() > kLargestCorrelation) {
    return "the correlation data is over 4096 bytes; nothing done";
  }
  return "";
}

}  // namespace

ModuleState* Gateway::find_module(const std::string& name) {
  for (ModuleState& module : modules_) {
    if (module.config.name == name) return &module;
  }
  return nullptr;
}

void Gateway::handle_message(const Letter& letter) {
  if (letter.topic == kHomeAssistantStatus) {
    if (letter.payload == "online") publish_discovery();
    return;
  }
  const RequestTopic topic = parse_request_topic(line_topic_, letter.topic);
  if (topic.kind == RequestTopic::Kind::kNone) return;
  ModuleState* module = find_module(topic.module);
  const std::string response_topic = line_topic_ + "/" + topic.module + "/response";
  SetRequest request;
  request.setting = topic.kind == RequestTopic::Kind::kGet ? "get" : topic.setting;
  // A topic the broker would drop us for is never published to, so the
  // refusal goes to the module's response topic alone.
  const std::string unusable = reply_fault(letter);
  if (!unusable.empty()) {
    log_.refused(letter.topic + ": refused: " + unusable);
    answer(response_topic, request, kRefusedStatus, unusable);
    return;
  }
  request.response_topic = letter.response_topic;
  request.correlation = letter.correlation;
  try {
    if (module == nullptr) throw Refusal("no module \"" + topic.module + "\" on " + line_topic_);
    if (topic.kind == RequestTopic::Kind::kGet) {
      handle_get(*module, request);
      return;
    }
    if (letter.payload.size() > kLargestPayload) throw Refusal("the payload is over 4096 bytes");
    if (topic.setting.find('/') == std::string::npos) {
      parse_set(topic.setting, letter.payload, module->config.address.size(), request);
    } else {
      const Control* control = find_control(topic.setting);
      if (control == nullptr) {
        throw Refusal("unknown control \"" + topic.setting +
                      "\"; controls: digital-out/0 to digital-out/7, analog-out/0, "
                      "analog-out/1, pwm/period, pwm/percent");
      }
      parse_control(*control, letter.payload, request);
      check_control(*module, request);
    }
    if (letter.retained) {
      throw Refusal("a retained command is never carried out; publish it without the retain flag");
    }
  } catch (const Refusal& refusal) {
    log_.refused(letter.topic + ": refused: " + refusal.what());
    answer(response_topic, request, kRefusedStatus, refusal.what());
    return;
  }
  if (!port_.is_open()) {
    answer(response_topic, request, BT_NO_PORT, port_.label() + " is not open; nothing sent");
    return;
  }
  PendingSet pending{std::move(request), module, letter.expires, letter.expires_at};
  if (!settings_.push(std::move(pending))) {
    const std::string busy =
        "the module is busy: " + std::to_string(kWaitingPerModule) +
        " settings for it wait already; nothing sent, try again once they are answered";
    log_.refused(letter.topic + ": refused: " + busy);
    answer(response_topic, pending.request, kRefusedStatus, busy);
  }
}

void Gateway::handle_get(ModuleState& module, const SetRequest& request) {
  const bool wants_answer = !request.response_topic.empty();
  if (!port_.is_open()) {
    // What is known goes out, and the requester learns why it is not new.
    if (!module.values.is_null()) publish_state(module, true);
    if (wants_answer) {
      const toolkit::Json body = {{"status", BT_NO_PORT},
                                  {"text", port_.label() + " is not open; the state is not fresh"}};
      link_.publish(request.response_topic, body.dump(), false, request.correlation);
    }
    return;
  }
  if (wants_answer && module.get_requesters.size() >= kGetRequesters) {
    throw Refusal("the module is busy: " + std::to_string(kGetRequesters) +
                  " gets for it wait already");
  }
  if (wants_answer) module.get_requesters.push_back({request.response_topic, request.correlation});
  module.get_asked = true;
  module.next_due = Clock::now();
}

void Gateway::answer_get(ModuleState& module, int16_t status, const std::string& text) {
  module.get_asked = false;
  const std::string body = status == BT_OK
                               ? module.state().dump()
                               : toolkit::Json{{"status", status}, {"text", text}}.dump();
  for (const Requester& requester : module.get_requesters) {
    link_.publish(requester.topic, body, false, requester.correlation);
  }
  module.get_requesters.clear();
}

void Gateway::answer(const std::string& topic, const SetRequest& request, int status,
                     const std::string& text, const toolkit::Json& confirmed) {
  const std::string body = response(request, status, text, confirmed);
  link_.publish(topic, body, false);
  if (!request.response_topic.empty()) {
    link_.publish(request.response_topic, body, false, request.correlation);
  }
}

void Gateway::apply(PendingSet& pending) {
  SetRequest& request = pending.request;
  ModuleState& module = *pending.module;
  const std::string topic = module.topic + "/response";
  // A request that waited (in the broker's session, or here) past its
  // message expiry is no longer wanted.
  if (pending.expires && Clock::now() >= pending.expires_at) {
    answer(topic, request, kRefusedStatus,
           "the request expired (its message expiry) before its turn on the line; nothing sent");
    return;
  }
  const Clock::time_point start = Clock::now();
  // A control changes one part of what the module has now, in the same turn
  // on the line, so two controls used at once never undo each other.
  if (request.control != nullptr) {
    std::string why;
    const int status = fill_control(module, request, why);
    if (status != BT_OK) {
      diagnostics_.busy(Clock::now() - start);
      answer(topic, request, status, why);
      if (status != kRefusedStatus && port_.device_gone())
        lose_port("the device stopped working while reading the outputs for a setting");
      return;
    }
  }
  ModuleRecord record{};
  const int16_t status =
      port_.set(request.entry, request.values, request.text, module.config.address, record);
  if (status != BT_OK) {
    diagnostics_.busy(Clock::now() - start);
    answer(topic, request, status, toolkit::status_words(status) + "; nothing confirmed");
    if (port_.device_gone()) lose_port("the device stopped working while sending a setting");
    return;
  }
  if (request.entry != nullptr && request.entry->name == "pwm")
    module.pwm = {request.values[0], request.values[1]};
  const toolkit::Json confirmed = read_back(module, request);
  diagnostics_.busy(Clock::now() - start);
  poll(module);
  answer(topic, request, BT_OK, "sent " + toolkit::sent_line(record), confirmed);
}

}  // namespace gateway
