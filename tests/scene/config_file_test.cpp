#include "scene/config_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scene/scene_state.h"

namespace {

// Each test reads a file of its own from a fresh folder.
class ConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSceneState();
    std::memset(&configTable, 0, sizeof configTable);
    char pattern[] = "/tmp/oculant-config-XXXXXX";
    folder_ = mkdtemp(pattern);
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

  int readText(const std::string& text) {
    std::string path = folder_ + "/config.txt";
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return readConfigFileNamed(path.c_str());
  }

  std::string folder_;
};

const SceneObject& object(int index) {
  return sceneModel.objects[index];
}

TEST_F(ConfigFileTest, ReadsTheTwoObjectExample) {
  ASSERT_EQ(0, readText("ALL=2\nOBJECT1=1\nOBJECT1_X=-2.5\nOBJECT1_Y=4\nOBJECT1_Z=0\n"
                        "OBJECT1_WIDTH=5\nOBJECT1_HEIGHT=0.5\nOBJECT1_TEXTURE=ON\n"
                        "OBJECT1_FILE=wall.bmp\n\nOBJECT2=2\nOBJECT2_WIDTH=3\nOBJECT2_HEIGHT=2\n"
                        "OBJECT2_R=0.8\nOBJECT2_G=0.8\nOBJECT2_B=0.2\n"));
  ASSERT_EQ(2, sceneModel.objectCount);
  EXPECT_EQ(OBJECT_SLAB, object(0).kind);
  EXPECT_DOUBLE_EQ(-2.5, object(0).X);
  EXPECT_DOUBLE_EQ(4.0, object(0).Y);
  EXPECT_DOUBLE_EQ(5.0, object(0).WIDTH);
  EXPECT_DOUBLE_EQ(0.5, object(0).HEIGHT);
  EXPECT_EQ(1, object(0).textured);
  EXPECT_STREQ("wall.bmp", object(0).fileName);
  EXPECT_DOUBLE_EQ(0.0, object(0).R);
  EXPECT_EQ(OBJECT_LATTICE, object(1).kind);
  EXPECT_DOUBLE_EQ(0.0, object(1).X);
  EXPECT_DOUBLE_EQ(2.0, object(1).HEIGHT);
  EXPECT_DOUBLE_EQ(0.8, object(1).R);
  EXPECT_DOUBLE_EQ(0.2, object(1).B);
  EXPECT_EQ(0, object(1).textured);
  EXPECT_STREQ("", object(1).fileName);
  // The empty line used up entry 9: OBJECT2 sits in entry 10.
  EXPECT_STREQ("", configTable.keys[9]);
  EXPECT_STREQ("OBJECT2", configTable.keys[10]);
}

TEST_F(ConfigFileTest, NothingIsTrimmedAndOnlyExactKeysMatch) {
  readText("ALL = 2\n");
  EXPECT_EQ(0, sceneModel.objectCount);
  EXPECT_STREQ("ALL ", configTable.keys[0]);

  readText(
      "ALL=2 \nOBJECT1_TEXTURE=on\nOBJECT2_FILE= wall.bmp\nA=B=C\n=5\nOBJECT01_X=3\n"
      "OBJECT1_X=1\nOBJECT1_X=2\nall=7\nOBJECT2=1");
  EXPECT_EQ(2, sceneModel.objectCount);
  EXPECT_EQ(0, object(0).textured);
  EXPECT_STREQ(" wall.bmp", object(1).fileName);
  EXPECT_STREQ("B=C", configLookup("A").text);
  EXPECT_STREQ("", configTable.keys[4]) << "=5 stores an empty key";
  EXPECT_STREQ("5", configTable.values[4]);
  EXPECT_DOUBLE_EQ(1.0, object(0).X) << "the first of two lines wins, OBJECT01_X is not object 1";
  EXPECT_EQ(1, object(1).kind) << "a last line without a line end is read whole";
}

TEST_F(ConfigFileTest, EmptyMissingAndCrLfFiles) {
  EXPECT_EQ(0, readText(""));
  EXPECT_EQ(0, sceneModel.objectCount);

  EXPECT_EQ(1, readConfigFileNamed((folder_ + "/absent.txt").c_str()));

  readText("ALL=1\r\nOBJECT1=2\r\nOBJECT1_TEXTURE=ON\r\nOBJECT1_FILE=a.bmp\r\n");
  EXPECT_EQ(1, sceneModel.objectCount);
  EXPECT_EQ(2, object(0).kind);
  EXPECT_EQ(1, object(0).textured);
  EXPECT_STREQ("a.bmp", object(0).fileName);
}

TEST_F(ConfigFileTest, ConversionsFollowAtoiAndAtof) {
  EXPECT_EQ(12, configInteger("  +12abc"));
  EXPECT_EQ(-3, configInteger("-3"));
  EXPECT_EQ(0, configInteger("x1"));
  EXPECT_EQ(INT32_MAX, configInteger("99999999999999"));
  EXPECT_DOUBLE_EQ(1500.0, configReal(" 1.5e3"));
  EXPECT_DOUBLE_EQ(-0.25, configReal("-.25m"));
  EXPECT_DOUBLE_EQ(0.0, configReal("abc"));
}

TEST_F(ConfigFileTest, DecimalPointHoldsWhateverTheLocale) {
  // Build a locale with a decimal comma in a private folder, so the test does not depend on
  // which locales the machine has installed.
  std::string locales = folder_ + "/locales";
  std::string command = "localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8' 2>/dev/null";
  ASSERT_EQ(0, std::system(("mkdir -p '" + locales + "' && " + command).c_str()));
  setenv("LOCPATH", locales.c_str(), 1);
  ASSERT_NE(nullptr, std::setlocale(LC_ALL, "de_DE.UTF-8"));
  EXPECT_DOUBLE_EQ(0.5, std::atof("0,5")) << "the locale really uses a decimal comma";
  readText("ALL=1\nOBJECT1_X=2.75\n");
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  EXPECT_DOUBLE_EQ(2.75, object(0).X);
}

TEST_F(ConfigFileTest, OversizedInputNeverOverrunsTheTable) {
  std::string longKey(80, 'K');
  std::string longValue(300, 'v');
  std::string text = "ALL=99\n" + longKey + "=" + longValue + "\nOBJECT1_FILE=" + longValue + "\n";
  for (int i = 0; i < 1200; ++i) text += "line without equals\n";
  text += "OBJECT1=1\n";  // line 1204: past the table, ignored
  readText(text);
  EXPECT_EQ(kMaxSceneObjects, sceneModel.objectCount);
  EXPECT_EQ(std::string(49, 'K'), configTable.keys[1]);
  EXPECT_EQ(std::string(99, 'v'), configTable.values[1]);
  EXPECT_EQ(99u, std::strlen(object(0).fileName));
  EXPECT_STREQ("OBJECT1_FILE", configTable.keys[2]) << "a 300-character line is one entry";
  EXPECT_EQ(0, object(0).kind);

  readText("ALL=-4\n");
  EXPECT_EQ(0, sceneModel.objectCount);
}

}  // namespace
