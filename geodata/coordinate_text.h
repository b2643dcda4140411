#pragma once

#include <string_view>
#include <vector>

#include "geodata/geometry.h"

namespace kl::geo {

// Reads white-space separated numbers (C syntax, independent of the locale)
// until the text ends or a token is not a finite number. False when a token
// stopped it: the numbers read so far are then only part of the list.
bool readNumbers(std::string_view text, std::vector<double>& out);

// Positions of a flat number list of the given dimension: the first two
// numbers of each complete tuple; an incomplete trailing tuple is dropped.
template <class Emit>
void forEachPosition(const std::vector<double>& numbers, std::size_t dimension, Emit&& emit) {
  for (std::size_t i = 0; i + dimension <= numbers.size(); i += dimension) {
    emit(numbers[i], numbers[i + 1]);
  }
}

// GML 2 "coordinates" text: tuples separated by `tupleSeparator` (white space
// when it is a blank), values by `coordinateSeparator`, with `decimal` as the
// decimal mark. Appends the first two values of each tuple that has two or
// more. False when a value or a tuple could not be read whole.
bool readGml2Coordinates(std::string_view text, char decimal, char coordinateSeparator,
                         char tupleSeparator, std::vector<std::pair<double, double>>& out);

}  // namespace kl::geo
