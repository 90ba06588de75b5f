#include "panel/info_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/null/null_platform.h"
#include "platform/sdl/cp1251.h"
#include "scene/scene_state.h"

namespace {

TEST(InfoLogTest, CutAtExactlyOneThousandCharacters) {
  clearInfoLog();
  for (int i = 0; i < 40; ++i) logRigPose(RigPose{0.7, 0.7, 90.0});
  ASSERT_EQ(1000u, std::strlen(infoLog));
  // 33 characters a pose: the cut falls inside the 31st pose, after its "X=0.700\r".
  EXPECT_EQ(0, std::strncmp(infoLog + 990, "X=0.700\r", 8));
  EXPECT_EQ('\r', infoLog[997]);

  // A very long line still leaves a bounded log.
  prependInfoLine(std::string(5000, 'z').c_str());
  EXPECT_EQ(1000u, std::strlen(infoLog));
}

TEST(InfoLogTest, ThePanelIsToldOfEveryChange) {
  nullReset();
  clearInfoLog();
  logRigPose(RigPose{0.5, 0.25, 90.0});
  EXPECT_EQ(nullInfoPanel().text, "X=0.500\r\nY=0.250\r\n\xC3\xF0\xE0\xE4\xF3\xF1=90.000\r\n");
  prependInfoLine("seen");
  EXPECT_EQ(nullInfoPanel().text.substr(0, 6), "seen\r\n");
  clearInfoLog();
  EXPECT_EQ(nullInfoPanel().text, "");
  EXPECT_EQ(nullInfoPanel().textsSet, 4);  // one update for the three lines of a pose
}

TEST(InfoLogTest, HeadingLabelShowsAsCyrillic) {
  EXPECT_EQ("Градус=90.000\nX=1", cp1251ToUtf8("\xC3\xF0\xE0\xE4\xF3\xF1=90.000\r\nX=1"));
  EXPECT_EQ("Ёё№€\xEF\xBF\xBD", cp1251ToUtf8("\xA8\xB8\xB9\x88\x98"));
}

}  // namespace
