#pragma once

#include <vector>

#include "geodata/gis_feature.h"

namespace kl::geo {

// Same "_typ", the same geometry to the millimetre and the same attributes
// other than "gml_id": what makes two answers' features one.
bool sameContent(const GisFeature& a, const GisFeature& b);

// Joins the answers of one fetch (tiles that overlap at their edges, pages of
// a server that repeats itself) keeping each feature once, in order of first
// appearance. Features are the same when their "_typ", their geometry to the
// millimetre and their attributes other than "gml_id" agree: some servers
// issue new ids with every answer, so an id can neither prove two features
// the same nor tell them apart. Within one answer every feature is its own,
// so content that one answer holds twice is kept twice.
std::vector<GisFeature> deduplicateAnswers(std::vector<std::vector<GisFeature>> answers);

}  // namespace kl::geo
