// Several WFS answers (the tiles and pages of one fetch) parsed one by one and
// joined, with repeats at tile edges kept once. The input holds the answers
// separated by form feeds, a byte no XML document may contain. Whatever the
// answers, the merge may only drop repeats: what it keeps comes from the
// answers in their order, one answer alone loses nothing, and joining the
// result with itself adds nothing.
#include <iterator>
#include <vector>

#include "geodata/feature_dedup.h"
#include "geodata/gml_parser.h"
#include "tests/fuzz/fuzz_expect.h"

namespace {

constexpr char kAnswerSeparator = '\f';

constexpr kl::geo::DataType kTypes[] = {kl::geo::DataType::Parcels, kl::geo::DataType::Buildings,
                                        kl::geo::DataType::TopographicObjects};

using Answer = std::vector<kl::geo::GisFeature>;

std::vector<Answer> parseAnswers(std::string_view input, kl::geo::DataType type) {
  std::vector<Answer> answers;
  while (true) {
    const auto end = input.find(kAnswerSeparator);
    answers.push_back(kl::geo::GmlParser::parse(input.substr(0, end), type).features);
    if (end == std::string_view::npos) return answers;
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

}  // namespace

void kl::fuzz::fuzzText(std::string_view text) {
  const auto type = kTypes[text.size() % std::size(kTypes)];
  const std::vector<Answer> answers = parseAnswers(text, type);
  Answer joined;
  for (const Answer& a : answers) joined.insert(joined.end(), a.begin(), a.end());
  const Answer kept = kl::geo::deduplicateAnswers(answers);
  kl::fuzz::expect(kept.size() <= joined.size());
  kl::fuzz::expect(kl::fuzz::haveOnlyFiniteVertices(joined));

  kl::fuzz::expect(isOrderedSubset(kept, joined));
  if (answers.size() == 1) kl::fuzz::expect(kept.size() == joined.size());
  kl::fuzz::expect(kl::geo::deduplicateAnswers({kept, kept}).size() == kept.size());
}
