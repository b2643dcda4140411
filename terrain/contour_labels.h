#pragma once

#include <string>
#include <vector>

#include "terrain/contour.h"

namespace kl::terrain {

struct ContourLabel {
  double x = 0.0;
  double y = 0.0;
  double angle = 0.0;  // radians, within (-pi/2, pi/2] so the text reads upright
  std::string text;    // the level, "123,50"
};

// Height labels along an index contour: one in the middle of a line shorter
// than 50 m, else at 25 m and then every 50 m. Other contours get none.
std::vector<ContourLabel> labelContour(const Contour& contour);

// The angle a label is drawn at once the placement turns the drawing by
// `rotation`, kept upright.
double labelAngle(double angle, double rotation);

}  // namespace kl::terrain
