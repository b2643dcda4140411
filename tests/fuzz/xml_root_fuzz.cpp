// The first element of every service answer is sniffed before anything else
// reads it: to tell an exception report or an HTML page from data, and to read
// the paging counts. The sniffing must stay inside the answer and never invent
// a count.
#include "net/body_kind.h"
#include "net/xml_root.h"
#include "tests/fuzz/fuzz_expect.h"

namespace {

constexpr kl::net::ExpectedBody kExpectations[] = {
    kl::net::ExpectedBody::Text,  kl::net::ExpectedBody::Xml,        kl::net::ExpectedBody::Json,
    kl::net::ExpectedBody::Zip,   kl::net::ExpectedBody::Image,      kl::net::ExpectedBody::PointCloud,
    kl::net::ExpectedBody::Binary};

}  // namespace

void kl::fuzz::fuzzText(std::string_view text) {
  using namespace kl::net;

  const std::string_view tag = rootStartTag(text);
  kl::fuzz::expect(kl::fuzz::isInside(tag, text));
  kl::fuzz::expect(tag.find('>') == std::string_view::npos);
  const std::string_view name = rootElementName(text);
  kl::fuzz::expect(tag.substr(0, name.size()) == name);

  for (const std::string_view attribute : {"numberMatched", "next", "schemaLocation"}) {
    const auto value = tagAttribute(tag, attribute);
    // Decoding entities only ever shortens the text.
    kl::fuzz::expect(!value || value->size() < tag.size());
  }
  const CollectionCounts counts = collectionCounts(text);
  kl::fuzz::expect(counts.numberReturned >= -1 && counts.numberMatched >= -1);
  kl::fuzz::expect(counts.next.empty() || !tag.empty());

  kl::fuzz::expect(bodyMismatch(ExpectedBody::Any, text).empty());
  for (const ExpectedBody expected : kExpectations) (void)bodyMismatch(expected, text);
}
