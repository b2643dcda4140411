#include "geodata/data_type.h"

#include <gtest/gtest.h>

namespace kl::geo {
namespace {

// The keys are stored in saved settings and page messages: their numbering may not move.
TEST(DataTypeTexts, KeysFollowTheFixedNumberingAndUnknownValuesAreOther) {
  const char* keys[] = {"dzialki",     "budynki",      "mpzp",         "pog",
                        "gesut",       "bdot500",      "teren",        "rastry",
                        "budynki3d",   "poziomice2d",  "poziomice3d",  "budynkilod2",
                        "budynkindsm", "mosty",        "drogi",        "terenchmura",
                        "poziomicechmura2d", "poziomicechmura3d", "budynkirekon", "wodachmura"};
  ASSERT_EQ(allDataTypes().size(), std::size(keys));
  for (std::size_t i = 0; i < std::size(keys); ++i) {
    const DataType t = allDataTypes()[i];
    EXPECT_EQ(static_cast<std::size_t>(t), i);
    EXPECT_EQ(dataTypeKey(t), keys[i]);
    EXPECT_EQ(dataTypeFromKey(keys[i]), t);
  }
  EXPECT_EQ(dataTypeKey(static_cast<DataType>(20)), "inne");
  EXPECT_EQ(dataTypeKey(static_cast<DataType>(-1)), "inne");
  EXPECT_EQ(dataTypePreviewKind(static_cast<DataType>(1000)), "inne");
  EXPECT_FALSE(dataTypeFromKey("inne").has_value());
  EXPECT_FALSE(dataTypeFromKey("Dzialki").has_value());
}

}  // namespace
}  // namespace kl::geo
