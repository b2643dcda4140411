#pragma once

#include <string>

namespace kl::terrain {

// A length or height as the Polish messages and labels print it: two
// decimals below a million, four significant digits above, with a decimal
// comma whatever the process locale ("0,25", "1,00", "1,235e+06").
std::string formatMetres(double metres);

}  // namespace kl::terrain
