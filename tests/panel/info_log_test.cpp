#include "panel/info_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "panel/cp1251.h"
#include "scene/scene_state.h"

namespace {

TEST(InfoLogTest, CutAtExactlyOneThousandCharacters) {
  clearInfoLog();
  rigPose = RigPose{0.7, 0.7, 90.0};
  for (int i = 0; i < 40; ++i) logRigPose();
  ASSERT_EQ(1000u, std::strlen(infoLog));
  // 33 characters a pose: the cut falls inside the 31st pose, after its "X=0.700\r".
  EXPECT_EQ(0, std::strncmp(infoLog + 990, "X=0.700\r", 8));
  EXPECT_EQ('\r', infoLog[997]);

  // A very long line still leaves a bounded log.
  prependInfoLine(std::string(5000, 'z').c_str());
  EXPECT_EQ(1000u, std::strlen(infoLog));
}

TEST(InfoLogTest, HeadingLabelShowsAsCyrillic) {
  EXPECT_EQ("Градус=90.000\nX=1", cp1251ToUtf8("\xC3\xF0\xE0\xE4\xF3\xF1=90.000\r\nX=1"));
  EXPECT_EQ("Ёё№€\xEF\xBF\xBD", cp1251ToUtf8("\xA8\xB8\xB9\x88\x98"));
}

}  // namespace
