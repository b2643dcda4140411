// Whatever bytes arrive as a request, the workbench server answers with a
// status line, and no route lets an exception through to the library's 500.
#include <chrono>
#include <future>
#include <string>

#include "host/server/workbench_server.h"
#include "tests/fuzz/fuzz_expect.h"

namespace {

// The seeds address this token.
constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

struct ServedWorkbench {
  ServedWorkbench() {
    // Closed streams end at once, so an event or page stream route answers
    // rather than waiting for changes.
    wb.hub().closeAll();
    wb.feed().close();
  }
  kl::host::Workbench wb;
  kl::host::WorkbenchServer server{wb, kl::host::ServerOptions{0, kToken, {}, {}}};
};

}  // namespace

void kl::fuzz::fuzzText(std::string_view text) {
  static ServedWorkbench served;
  // Routes answer from the main thread, which is this one.
  auto answer = std::async(std::launch::async, [&] {
    return served.server.answerBytes(std::string(text));
  });
  while (answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
    served.wb.executor().runFor(std::chrono::milliseconds(1));
  const std::string reply = answer.get();
  kl::fuzz::expect(reply.empty() || reply.rfind("HTTP/1.1 ", 0) == 0);
  kl::fuzz::expect(reply.rfind("HTTP/1.1 500", 0) != 0);
}
