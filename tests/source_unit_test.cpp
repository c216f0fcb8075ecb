// SPDX-License-Identifier: GPL-3.0-or-later
// Text from devices cut for the dialog without splitting a character.
#include <gtest/gtest.h>

#include <string>

#include "source/text_convert.h"

namespace vz {
namespace {

TEST(TextConvertTest, CutNeverSplitsACharacter) {
  EXPECT_EQ(cutUtf8("short", 79), "short");
  const std::string euro = "\xE2\x82\xAC";  // three bytes
  EXPECT_EQ(cutUtf8(euro + euro, 5), euro);
  EXPECT_EQ(cutUtf8(euro + euro, 6), euro + euro);
  EXPECT_EQ(cutUtf8(std::string(79, 'a') + "b", 79), std::string(79, 'a'));
  EXPECT_EQ(cutUtf8(euro, 2), "");
}

}  // namespace
}  // namespace vz
