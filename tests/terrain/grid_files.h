#pragma once
// Sheets of the terrain tests: the real samples, and a smooth surface of 2 m cells
// with a few holes.

#include <cmath>
#include <string>

#include "tests/support/c_number.h"
#include "tests/support/scratch_folder.h"

namespace kl::terrain::testing {

using kl::test::ScratchFolder;

inline std::string gridSample(const std::string& name) { return std::string(KL_SAMPLES_DIR) + "/grid/" + name; }

// 40 x 30 cells of 2 m: a smooth surface from about 113 to 180 m with a few holes, values
// on a 1/64 m raster so that GDAL's Float32 holds them exactly.
inline std::string smoothSheet() {
  std::string text = "ncols 40\nnrows 30\nxllcorner 500000\nyllcorner 250000\ncellsize 2\nnodata_value -9999\n";
  for (int r = 0; r < 30; ++r) {
    for (int c = 0; c < 40; ++c) {
      const bool hole = (c == 11 && r == 7) || (c == 30 && r >= 20 && r < 23);
      const double z = 120.0 + 4.0 * std::sin(c / 5.0) + 3.0 * std::cos(r / 4.0) + 0.05 * c * r;
      text += kl::test::cNumber(hole ? -9999.0 : std::round(z * 64.0) / 64.0) + ' ';
    }
    text.push_back('\n');
  }
  return text;
}

}  // namespace kl::terrain::testing
