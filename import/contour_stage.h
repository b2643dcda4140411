#pragma once
// Contours of the frame from the elevation model, prepared on the fetch
// worker: the interval checked, the heights sampled on a grid dense enough
// for the frame, optionally smoothed, then traced.
#include <string>
#include <vector>

#include "geodata/geometry.h"
#include "terrain/contour.h"
#include "terrain/contour_builder.h"
#include "terrain/contour_grid.h"

namespace kl::import {

struct ContourRequest {
    geo::Bbox frame;        // PL-1992 metres
    double sampleStep = 1;  // the request's terrain step, metres
    double interval = 1;    // metres between levels
    bool smooth = false;    // edge-preserving smoothing of the sampled heights first
};

struct ContourStageResult {
    std::vector<terrain::Contour> contours;
    std::vector<std::string> warnings;  // Polish, in the order they arose
    bool cancelled = false;
};

ContourStageResult buildFrameContours(const ContourRequest& request, const terrain::HeightSampler& sampler,
                                      const terrain::ContourBuilder::CancelQuery& cancelled,
                                      const terrain::ContourBuilder::Progress& progress);

}  // namespace kl::import
