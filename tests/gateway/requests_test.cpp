// SPDX-License-Identifier: MIT
// Requests over MQTT: settings and gets reach the modules and are answered;
// whatever is refused puts nothing on the line; a flood of them is bounded.
#include "gateway_fixture.h"

namespace {

using namespace gwtest;

TEST_F(Gateway, SettingsReachTheModuleAndAreAnswered) {
  start();
  ASSERT_TRUE(sees(kLine + "/valve/availability", "online"));
  struct Case {
    std::string setting, payload, pointer;
    int value;
    json confirmed;
  };
  const Case cases[] = {
      {"digital-out", "[60]", "/digital_out", 60, true},
      {"pwm", R"({"args": [1000, 25], "transaction": "t-7"})", "/pwm_percent", 25, nullptr},
      {"direction", R"(["0x0F"])", "/direction", 15, true},
      {"analog-out", "[100, 2000]", "/analog_out/1", 2000, nullptr},
      {"reset-totalizer", "", "/totalizer", 0, nullptr},
  };
  for (const Case& c : cases) {
    probe->publish(kLine + "/valve/set/" + c.setting, c.payload);
    EXPECT_TRUE(seesJson(kLine + "/valve/response", [&](const json& j) {
      return j["setting"] == c.setting && j["status"] == 0 &&
             j.value("confirmed", json()) == c.confirmed &&
             (c.setting != "pwm" || j["transaction"] == "t-7");
    })) << c.setting;
    EXPECT_EQ(module(1).at(json::json_pointer(c.pointer)), c.value) << c.setting;
  }
  // Polled at once after the setting, though its interval is an hour.
  EXPECT_TRUE(seesJson(kLine + "/valve", [](const json& j) { return j["PortDirection"] == 15; }));
  probe->publishWithResponse(kLine + "/valve/set/digital-out", "[5]", "replies/me", "id-1");
  const auto reply = probe->waitFor("replies/me");
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->correlation, "id-1");
  EXPECT_FALSE(reply->retained);
  EXPECT_FALSE(probe->waitFor(kLine + "/valve/response")->retained);
  EXPECT_TRUE(jsonWhere(reply->payload, [](const json& j) { return j["confirmed"] == true; }));
}

TEST_F(Gateway, RefusedRequestsAreAnsweredAndPutNothingOnTheLine) {
  start();
  ASSERT_TRUE(sees(kLine + "/valve/availability", "online"));
  struct Case {
    std::string module, setting, payload;
    bool retain;
    std::string says;
  };
  const Case cases[] = {
      {"valve", "digital-out", "[60", false, "not JSON"},
      {"valve", "digital-out", "[1, 2]", false, "takes 1"},
      {"valve", "digital-out", "[256]", false, "out of range"},
      {"valve", "digital-out", "[-1]", false, "non-negative"},
      {"valve", "pwm", R"({"arg": [1, 2]})", false, "unknown member"},
      {"valve", "frobnicate", "[]", false, "unknown setting"},
      {"ghost", "digital-out", "[1]", false, "no module"},
      {"valve", "digital-out", "[9]", true, "retained"},
      {"valve", "print", "[\"" + std::string(5000, 'x') + "\"]", false, "4096"},
  };
  for (const Case& c : cases) {
    probe->publish(kLine + "/" + c.module + "/set/" + c.setting, c.payload, c.retain);
    EXPECT_TRUE(seesJson(kLine + "/" + c.module + "/response", [&](const json& j) {
      return j["setting"] == c.setting && j["status"] == 400 &&
             j["text"].get<std::string>().find(c.says) != std::string::npos;
    })) << c.says;
  }
  // A response topic the broker would drop us for is refused on the
  // module's own, and the gateway stays on the broker for the next request.
  for (const auto& [topic, says] : {std::pair<std::string, std::string>{"reply/#", "wildcard"},
                                    {"reply/+/x", "wildcard"},
                                    {std::string(5000, 'r'), "5000 bytes"}}) {
    probe->clear();
    probe->publishWithResponse(kLine + "/valve/set/digital-out", "[9]", topic, "c");
    EXPECT_TRUE(seesJson(kLine + "/valve/response", [&](const json& j) {
      const std::string text = j["text"];
      return j["status"] == 400 && text.find("response topic") != std::string::npos &&
             text.find(says) != std::string::npos;
    })) << says;
  }
  EXPECT_EQ(onLine(R"(in +#.. \S+ S)"), "");
  probe->publishWithResponse(kLine + "/valve/get", "", "replies/gét/🙂", "g-1");
  const auto state = probe->waitFor("replies/gét/🙂");
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(state->correlation, "g-1");
  EXPECT_TRUE(jsonWhere(state->payload, [](const json& j) { return j.contains("DigitalOut"); }));
  // A get publishes the state although nothing changed.
  EXPECT_TRUE(probe->waitFor(kLine + "/valve").has_value());
  EXPECT_EQ(broker.log().find("protocol error"), std::string::npos) << broker.log();
}

TEST_F(Gateway, AControlChangesItsOnePartAndLeavesTheRest) {
  sim.control("set @02 do 160");  // bits 5 and 7
  sim.control("set @02 d0 123");
  start();
  ASSERT_TRUE(sees(kLine + "/valve/availability", "online"));
  // Back to back: each reads what the others left.
  const std::string set = kLine + "/valve/set/";
  probe->publish(set + "digital-out/4", "ON");
  probe->publish(set + "digital-out/6", "true");
  probe->publish(set + "digital-out/7", R"({"args": ["OFF"], "transaction": 3})");
  probe->publish(set + "analog-out/1", "2000.0");
  probe->publish(set + "pwm/percent", "30");  // nothing known of the period yet
  probe->publish(set + "pwm", "[1000, 25]");
  probe->publish(set + "pwm/percent", "[30]");
  const std::pair<std::string, std::string> refused[] = {
      {"digital-out/2", "is an input by the configuration's direction (0x0F"},
      {"digital-out/8", "unknown control"},
      {"digital-out/5", "takes ON or OFF"},
      {"analog-out/0", "out of range: the module takes 0 to 4095"},
      {"analog-out/1", "whole number"},
      {"pwm/period", "takes one value; got 2"},
  };
  const std::string bad[] = {"ON", "OFF", "maybe", "1e30", "1.5", "[1, 2]"};
  for (size_t i = 0; i < std::size(refused); ++i) probe->publish(set + refused[i].first, bad[i]);
  for (const auto& [control, says] : refused) {
    EXPECT_TRUE(seesJson(kLine + "/valve/response", [&](const json& j) {
      return j["setting"] == control && j["status"] == 400 &&
             j["text"].get<std::string>().find(says) != std::string::npos;
    })) << control;
  }
  EXPECT_TRUE(seesJson(kLine + "/valve/response", [](const json& j) {
    return j["setting"] == "pwm/percent" && j["status"] == 400 &&
           j["text"].get<std::string>().find("does not report its PWM") != std::string::npos;
  }));
  for (const std::string control : {"digital-out/4", "digital-out/6", "digital-out/7"}) {
    EXPECT_TRUE(seesJson(kLine + "/valve/response", [&](const json& j) {
      return j["setting"] == control && j["status"] == 0 && j["confirmed"] == true &&
             (control != "digital-out/7" || j["transaction"] == 3);
    })) << control;
  }
  EXPECT_TRUE(seesJson(kLine + "/valve/response", [](const json& j) {
    return j["setting"] == "analog-out/1" && j["status"] == 0 && j["confirmed"] == true;
  }));
  ASSERT_TRUE(seesJson(kLine + "/valve/response", [](const json& j) {
    return j["setting"] == "pwm/percent" && j["status"] == 0 && !j.contains("confirmed");
  }));
  const json valve = module(1);
  EXPECT_EQ(valve["digital_out"], 0b01110000);
  EXPECT_EQ(valve["analog_out"], json::array({123, 2000}));
  EXPECT_EQ(valve["pwm_period"], 1000);
  EXPECT_EQ(valve["pwm_percent"], 30);
  // The refused put nothing on the line: three bits, a channel, two PWMs.
  for (const auto& [command, times] : {std::pair{" 02 SO ", 3u}, {" 02 SD ", 1u}, {" 02 SP ", 2u}})
    EXPECT_EQ(timesOnLine(command).size(), times) << onLine(command);
}

TEST_F(Gateway, AFloodOfSettingsIsBoundedAndStarvesNoOtherModule) {
  start();
  ASSERT_TRUE(sees(kLine + "/valve/availability", "online"));
  const std::string topic = kLine + "/valve/set/digital-out";
  for (int i = 1; i <= 15; ++i) {
    probe->publish(topic, R"({"args": [)" + std::to_string(i) + R"(], "transaction": )" +
                              std::to_string(i) + "}");
  }
  // Its turn comes after 15 others, long after its message expiry.
  probe->publish(topic, R"({"args": [99], "transaction": "late"})", false, 1, 1);
  for (int i = 0; i < 30; ++i) probe->publish(topic, R"({"args": [77], "transaction": "extra"})");
  const auto answered = [&](const std::function<bool(const json&)>& test) {
    return received(kLine + "/valve/response", test);
  };
  // Every request is answered, once.
  eventually([&] { return probe->count(kLine + "/valve/response") >= 46; }, 60);
  ASSERT_EQ(probe->count(kLine + "/valve/response"), 46u);
  EXPECT_EQ(answered([](const json& j) {
              return j["transaction"] == "late" && j["status"] == 400 &&
                     j["text"].get<std::string>().find("expired") != std::string::npos;
            }),
            1u);
  EXPECT_EQ(answered([](const json& j) { return j["status"] == 0 && j["transaction"] != "extra"; }),
            15u);
  const size_t busy = answered([](const json& j) {
    return j["transaction"] == "extra" && j["status"] == 400 &&
           j["text"].get<std::string>().find("busy") != std::string::npos;
  });
  EXPECT_GE(busy, 20u);
  // Any client can send refusals at any rate: they must not flood the log.
  const std::string log = slurp(dir.path("gw.log"));
  EXPECT_LE(std::count(log.begin(), log.end(), '\n'), 4) << log;
  EXPECT_EQ(onLine(" 02 SO 63"), "");
  // What was not refused was carried out, once.
  EXPECT_EQ(timesOnLine(" 02 SO 4D").size(), 30 - busy);
  // The pump (every 0.2 s) waited for one setting at most, never for the queue.
  const std::vector<double> sets = timesOnLine(" 02 SO ");
  const std::vector<double> polls = timesOnLine(" 01 QE");
  double widest = 0;
  for (size_t i = 1; i < polls.size(); ++i) {
    if (polls[i] > sets.front() && polls[i - 1] < sets.back())
      widest = std::max(widest, polls[i] - polls[i - 1]);
  }
  EXPECT_GT(sets.back() - sets.front(), 3.0);
  EXPECT_LT(widest, 1.5);
}

}  // namespace
