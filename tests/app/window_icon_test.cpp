#include "app/window_icon.h"

#include <gtest/gtest.h>

#include <set>

#include "app/role_table.h"

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

TEST(RoleTableTest, EachRoleHasItsOwnClassTitleAndPlace) {
  const RoleWindow& scene = roleWindowOf(ROLE_SCENE);
  const RoleWindow& left = roleWindowOf(ROLE_LEFT_CAMERA);
  const RoleWindow& right = roleWindowOf(ROLE_RIGHT_CAMERA);
  EXPECT_STREQ(scene.className, "oculant");
  EXPECT_STREQ(left.className, "oculant1");
  EXPECT_STREQ(right.className, "oculant2");
  EXPECT_STREQ(scene.title, "Oculant");
  EXPECT_STREQ(left.title, "Camera 1 Left");
  EXPECT_STREQ(right.title, "Camera 2 Right");
  EXPECT_EQ(std::vector<int>({scene.x, scene.y, scene.width, scene.height}),
            std::vector<int>({0, 0, 800, 600}));
  EXPECT_EQ(std::vector<int>({left.x, left.y, left.width, left.height}),
            std::vector<int>({820, 0, 320, 240}));
  EXPECT_EQ(std::vector<int>({right.x, right.y, right.width, right.height}),
            std::vector<int>({820, 260, 320, 240}));
}
