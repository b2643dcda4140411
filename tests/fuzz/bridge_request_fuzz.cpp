// Every message of a page goes through the bridge, and the map page's "fetch"
// request is read field by field. Whatever the text, the page gets at most one
// answer, and that answer is a JSON object with a type, never a crash.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "import/fetch_request.h"
#include "base/bridge.h"
#include "tests/fuzz/fuzz_expect.h"

void kl::fuzz::fuzzText(std::string_view text) {
  std::vector<std::string> sent;
  kl::Bridge bridge;
  bridge.setSender([&](const std::string& reply) { sent.push_back(reply); });
  bridge.on("fetch", [](const nlohmann::json& msg) {
    const kl::import::FetchRequestCheck check = kl::import::readFetchRequest(msg);
    if (check.request) {
      const auto& r = *check.request;
      kl::fuzz::expect(r.west < r.east && r.south < r.north);
      kl::fuzz::expect(r.rasterScale >= 1 && r.terrainStep >= 1);
      return nlohmann::json{{"type", "ok"}};
    }
    kl::fuzz::expect(!check.error.empty());
    return nlohmann::json{{"type", "error"}, {"msg", check.error}};
  });
  bridge.onMessage(text);
  kl::fuzz::expect(sent.size() == 1);
  const auto answer = nlohmann::json::parse(sent.front(), nullptr, false);
  kl::fuzz::expect(answer.is_object() && answer.contains("type") && answer["type"].is_string());
}
