// The reader's rules and bounds. (Every field of the example scene is read through this reader
// by the scene checker's tests.)
#include "scene/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>

#include "bounded_child.h"
#include "magick.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"

namespace {

// What the reader fills, as an instance holds it.
SceneModel sceneModel;
RigSettings rigSettings;

int readNamed(const char* path) {
  return readConfigFileNamed(path, ROLE_SCENE, &sceneModel, &rigSettings);
}

std::string writeConfig(const std::string& text) {
  writeText(scratchDir() + "/config.txt", text);
  return scratchDir() + "/config.txt";
}

// Reads the text as a fresh instance reads its config.txt.
int readConfigText(const std::string& text) {
  sceneModel = {};
  rigSettings = kDefaultRig;
  std::memset(&configTable, 0, sizeof configTable);
  return readNamed(writeConfig(text).c_str());
}

ChildOutcome readBounded(const std::string& path) {
  return runBounded([&] { return readNamed(path.c_str()); });
}

TEST(ConfigFile, KeysAndValuesAreTakenLiterally) {
  // Nothing is trimmed, only exact keys match, the first of two lines wins, a last line without
  // a line end is read whole, and CR LF line ends are taken off.
  ASSERT_EQ(0,
            readConfigText("ALL=2 \r\nOBJECT1_TEXTURE=on\nOBJECT2_FILE= wall.bmp\r\nA=B=C\n"
                           "OBJECT01_X=3\nOBJECT1_X=1\nOBJECT1_X=2\nall=7\nALL =1\n\nOBJECT2=1"));
  EXPECT_EQ(2, sceneModel.objectCount);
  EXPECT_EQ(0, sceneModel.objects[0].kind);
  EXPECT_EQ(1, sceneModel.objects[0].X);
  EXPECT_EQ(0, sceneModel.objects[0].textured) << "only ON turns a texture on";
  EXPECT_EQ(1, sceneModel.objects[1].kind);
  EXPECT_STREQ(" wall.bmp", sceneModel.objects[1].fileName);
  EXPECT_STREQ("B=C", configLookup("A").text);
  EXPECT_STREQ("OBJECT2", configTable.keys[10]) << "the empty line uses up an entry";
  EXPECT_EQ(1, readNamed("/nonexistent/config.txt"));
}

auto fieldsOf(const RigSettings& r) {
  return std::make_tuple(r.cameraWidth, r.cameraHeight, r.fieldOfViewY, r.baseline, r.eyeHeight,
                         r.rightEyeYaw, r.rightEyePitch, r.rightEyeRoll, r.noise, r.noiseSeed);
}

// The rig's keys are read with the same reader; a value the bench cannot use keeps its default.
TEST(ConfigFile, RigSettingsTakeUsableValuesAndKeepDefaultsForTheRest) {
  ASSERT_EQ(0, readConfigText("ALL=0\n"));
  EXPECT_EQ(fieldsOf(kDefaultRig), fieldsOf(rigSettings)) << "no rig keys";
  ASSERT_EQ(0, readConfigText("CAMERA_WIDTH=640\nCAMERA_HEIGHT=480 \nCAMERA_FOV=60.5\n"
                              "RIG_BASELINE=0.25\nRIG_EYE_HEIGHT=-0.5\nRIGHT_EYE_YAW=1.5\n"
                              "RIGHT_EYE_PITCH=-45\nRIGHT_EYE_ROLL=0.25\nCAMERA_NOISE=2\n"
                              "CAMERA_NOISE_SEED=4294967295\n"));
  const RigSettings set = rigSettings;
  EXPECT_EQ(640, set.cameraWidth);
  EXPECT_EQ(480, set.cameraHeight) << "a trailing blank is allowed";
  EXPECT_EQ(60.5, set.fieldOfViewY);
  EXPECT_EQ(0.25, set.baseline);
  EXPECT_EQ(-0.5, set.eyeHeight);
  EXPECT_EQ(1.5, set.rightEyeYaw);
  EXPECT_EQ(-45, set.rightEyePitch) << "the range's bounds belong to it";
  EXPECT_EQ(0.25, set.rightEyeRoll);
  EXPECT_EQ(2, set.noise);
  EXPECT_EQ(4294967295u, set.noiseSeed);
  ASSERT_EQ(0, readConfigText("CAMERA_WIDTH=15\nCAMERA_HEIGHT=480.5\nCAMERA_FOV=170.01\n"
                              "RIG_BASELINE=0\nRIG_EYE_HEIGHT=0.3m\nRIGHT_EYE_YAW=nan\n"
                              "RIGHT_EYE_PITCH=\nRIGHT_EYE_ROLL=1e400\nCAMERA_NOISE=-1\n"
                              "CAMERA_NOISE_SEED=4294967296\n"));
  EXPECT_EQ(fieldsOf(kDefaultRig), fieldsOf(rigSettings)) << "all unusable";
}

TEST(ConfigFile, OversizedKeysValuesAndCountsAreCut) {
  std::string text = "ALL=99\n" + std::string(80, 'K') + "=" + std::string(300, 'v') +
                     "\nOBJECT1_FILE=" + std::string(300, 'f') + "\n";
  for (int i = 0; i < 1200; ++i) text += "line without equals\n";
  readConfigText(text + "OBJECT1=1\n");
  EXPECT_EQ(kMaxSceneObjects, sceneModel.objectCount);
  EXPECT_EQ(std::string(49, 'K'), configTable.keys[1]);
  EXPECT_EQ(std::string(99, 'v'), configTable.values[1]);
  EXPECT_EQ(std::string(99, 'f'), sceneModel.objects[0].fileName);
  EXPECT_EQ(0, sceneModel.objects[0].kind) << "a line past the table is ignored";
}

TEST(ConfigFile, ReadsOnlyRegularFilesAndOnlyUpToItsBounds) {
  // A device or a folder is refused as the FIFO is (the texture files' test has every kind).
  const std::string fifo = scratchDir() + "/fifo";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  EXPECT_EQ(1, readBounded(fifo).exitCode);
  EXPECT_EQ("oculant: " + fifo + " is a FIFO, not a regular file: ignored\n",
            readBounded(fifo).errors);
  // A scene and then an endless line: a sparse gigabyte without a line end.
  const std::string huge = writeConfig("ALL=1\n");
  ASSERT_EQ(0, truncate(huge.c_str(), off_t{1} << 30));
  const ChildOutcome outcome = readBounded(huge);
  EXPECT_EQ(0, outcome.exitCode);
  EXPECT_EQ("oculant: " + huge + " is longer than 256000 bytes: the rest is ignored\n",
            outcome.errors);
  if (outcome.exitCode == 0) {
    EXPECT_EQ(0, readNamed(huge.c_str()));
    EXPECT_EQ(1, sceneModel.objectCount);
  }
  // A thousand lines of 255 characters are read whole and quietly; a line after them is not.
  std::string full;
  for (int i = 0; i < kConfigEntries; ++i) {
    const std::string key = "LINE" + std::to_string(i) + "=";
    full += key + std::string(255 - key.size(), 'v') + "\n";
  }
  for (const std::string& extra : {std::string(), std::string("ALL=3\n")}) {
    readConfigText(full + extra);
    EXPECT_EQ(std::string(99, 'v'), configLookup("LINE999").text) << extra;
    EXPECT_EQ(0, sceneModel.objectCount) << extra;
    const std::string path = writeConfig(full + extra);
    EXPECT_EQ(extra.empty()
                  ? ""
                  : "oculant: " + path + " has more than 1000 lines: the rest is ignored\n",
              readBounded(path).errors);
  }
}

TEST(ConfigFile, DecimalPointHoldsWhateverTheLocale) {
  // A locale with a decimal comma built in a private folder, whatever the machine has installed.
  const std::string locales = scratchDir() + "/locales";
  ASSERT_EQ(0, std::system(("mkdir -p '" + locales + "' && localedef -i de_DE -f UTF-8 '" +
                            locales + "/de_DE.UTF-8' 2>/dev/null")
                               .c_str()));
  setenv("LOCPATH", locales.c_str(), 1);
  ASSERT_NE(nullptr, std::setlocale(LC_ALL, "de_DE.UTF-8"));
  EXPECT_DOUBLE_EQ(0.5, std::atof("0,5")) << "the locale really uses a decimal comma";
  readConfigText("ALL=1\nOBJECT1_X=2.75\n");
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  EXPECT_DOUBLE_EQ(2.75, sceneModel.objects[0].X);
}

}  // namespace
