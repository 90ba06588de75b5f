#include "app/window_icon.h"

#include <gtest/gtest.h>

#include <set>

TEST(WindowIconTest, TheIconIs32By32WithAtMost16Colours) {
  const IconImage& icon = windowIconImage();
  ASSERT_EQ(icon.width, 32);
  ASSERT_EQ(icon.height, 32);
  ASSERT_EQ(icon.pixels.size(), 32u * 32u);
  std::set<uint32_t> colours(icon.pixels.begin(), icon.pixels.end());
  EXPECT_LE(colours.size(), 16u);
  EXPECT_TRUE(colours.count(0u)) << "the corners are transparent";
  EXPECT_GE(colours.size(), 4u);
  WindowIcon forClass = windowIcon();
  EXPECT_EQ(forClass.pixels, icon.pixels.data());
}

TEST(WindowIconTest, DecodesColoursAndRejectsBrokenImages) {
  const char* const good[] = {"2 2 2 1", "a c #102030", ". c None", "a.", ".a"};
  IconImage image;
  ASSERT_TRUE(decodeXpm(good, 5, &image));
  EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0xFF102030u, 0, 0, 0xFF102030u}));

  const char* const shortRow[] = {"2 2 2 1", "a c #102030", ". c None", "a.", "a"};
  const char* const unknownKey[] = {"2 2 2 1", "a c #102030", ". c None", "a.", "ab"};
  const char* const badColour[] = {"2 2 2 1", "a c #10203", ". c None", "a.", ".a"};
  const char* const twoChars[] = {"1 1 1 2", "aa c #102030", "aa"};
  EXPECT_FALSE(decodeXpm(shortRow, 5, &image));
  EXPECT_FALSE(decodeXpm(unknownKey, 5, &image));
  EXPECT_FALSE(decodeXpm(badColour, 5, &image));
  EXPECT_FALSE(decodeXpm(twoChars, 3, &image));
  EXPECT_FALSE(decodeXpm(good, 4, &image)) << "a missing row";
}
