// Several WFS answers (the tiles and pages of one fetch) parsed one by one and
// joined, with repeats at tile edges kept once. The input holds the answers
// separated by form feeds, a byte no XML document may contain. Whatever the
// answers, the merge may only drop repeats: what it keeps comes from the
// answers in their order, and nothing kept repeats another.
#include <iterator>
#include <vector>

#include "geodata/feature_dedup.h"
#include "geodata/gml_parser.h"
#include "tests/fuzz/finite_vertices.h"
#include "tests/fuzz/fuzz_expect.h"

namespace {

constexpr char kAnswerSeparator = '\f';
constexpr std::size_t kMaxPairwiseCheck = 2000;

constexpr kl::geo::DataType kTypes[] = {kl::geo::DataType::Parcels, kl::geo::DataType::Buildings,
                                        kl::geo::DataType::TopographicObjects};

std::vector<kl::geo::GisFeature> parseAnswers(std::string_view input, kl::geo::DataType type) {
  std::vector<kl::geo::GisFeature> joined;
  while (true) {
    const auto end = input.find(kAnswerSeparator);
    auto parsed = kl::geo::GmlParser::parse(input.substr(0, end), type);
    for (auto& f : parsed.features) joined.push_back(std::move(f));
    if (end == std::string_view::npos) return joined;
    input.remove_prefix(end + 1);
  }
}

// Every kept feature is one of the joined ones, in the same order.
bool isOrderedSubset(const std::vector<kl::geo::GisFeature>& kept, const std::vector<kl::geo::GisFeature>& all) {
  auto from = all.begin();
  for (const auto& f : kept) {
    while (from != all.end() && !(*from == f)) ++from;
    if (from == all.end()) return false;
    ++from;
  }
  return true;
}

bool hasRepeat(const std::vector<kl::geo::GisFeature>& features) {
  for (auto a = features.begin(); a != features.end(); ++a)
    for (auto b = a + 1; b != features.end(); ++b)
      if (*a == *b) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto type = kTypes[size % std::size(kTypes)];
  const std::vector<kl::geo::GisFeature> joined = parseAnswers(kl::fuzz::textOf(data, size), type);
  const std::vector<kl::geo::GisFeature> kept = kl::geo::deduplicateFeatures(joined);
  kl::fuzz::expect(kept.size() <= joined.size());
  if (!kl::fuzz::haveOnlyFiniteVertices(joined)) return 0;

  kl::fuzz::expect(isOrderedSubset(kept, joined));
  kl::fuzz::expect(kl::geo::deduplicateFeatures(kept).size() == kept.size());
  if (kept.size() <= kMaxPairwiseCheck) kl::fuzz::expect(!hasRepeat(kept));
  return 0;
}
