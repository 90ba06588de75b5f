#include "scene_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "magick.h"

namespace {

std::string write(const std::string& name, const std::string& text) {
  writeText(scratchDir() + "/" + name, text);
  return scratchDir() + "/" + name;
}

SceneReport check(const std::string& text) {
  return checkSceneFile(write("config.txt", text), scratchDir());
}

// A bare 24-bit DIB of width x 1 black pixels.
std::string blackRow(char width) {
  return std::string("\x28\0\0\0", 4) + width + std::string("\0\0\0\x01\0\0\0\x01\0\x18\0", 11) +
         std::string(24, '\0') + std::string((width * 3 + 3) / 4 * 4, '\0');
}

bool mentions(const SceneReport& report, const std::string& text) {
  return std::any_of(report.warnings.begin(), report.warnings.end(),
                     [&](const std::string& w) { return w.find(text) != std::string::npos; });
}

TEST(SceneCheck, PrintsEveryFieldOfEachObjectAndTheTurnOfTurnedOnes) {
  write("wall.bmp", blackRow(1));
  const std::string slab = "kind=1 (slab, untextured: sets the colour only)";
  const std::string zeros = " X=0 Y=0 Z=0 WIDTH=0 HEIGHT=0 R=0 G=0 B=0 textured=0 file=\"\"";
  const struct {
    std::string scene;
    std::vector<std::string> lines;
  } cases[] = {
      {"ALL=2\nOBJECT1=1\nOBJECT1_X=-2.5\nOBJECT1_Y=4\nOBJECT1_Z=0\nOBJECT1_WIDTH=5\n"
       "OBJECT1_HEIGHT=0.5\nOBJECT1_TEXTURE=ON\nOBJECT1_FILE=wall.bmp\n\nOBJECT2=2\n"
       "OBJECT2_WIDTH=3\nOBJECT2_HEIGHT=2\nOBJECT2_R=0.8\nOBJECT2_G=0.8\nOBJECT2_B=0.2\n",
       {"object 1: kind=1 (slab) X=-2.5 Y=4 Z=0 WIDTH=5 HEIGHT=0.5 R=0 G=0 B=0 textured=1 "
        "file=\"wall.bmp\"",
        "object 2: kind=2 (lattice, untextured: sets the colour only) X=0 Y=0 Z=0 WIDTH=3 "
        "HEIGHT=2 R=0.8 G=0.8 B=0.2 textured=0 file=\"\""}},
      {"ALL=3\nOBJECT1=1\nOBJECT1_ROTX=90\nOBJECT1_ROTZ=-12.5\nOBJECT2=2\nOBJECT2_ROTY=1e1x\n"
       "OBJECT3=1\nOBJECT3_ROTX=0\n",
       {"object 1: " + slab + zeros + " ROTX=90 ROTY=0 ROTZ=-12.5",
        "object 2: kind=2 (lattice, untextured: sets the colour only)" + zeros +
            " ROTX=0 ROTY=10 ROTZ=0",
        "object 3: " + slab + zeros}},
  };
  for (const auto& c : cases) {
    const SceneReport report = check(c.scene);
    ASSERT_EQ(c.lines.size(), report.objectLines.size()) << c.scene;
    for (size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(c.lines[i], report.objectLines[i]);
  }
  const SceneReport turned = check(cases[1].scene);
  EXPECT_TRUE(mentions(turned, "OBJECT2_ROTY=\"1e1x\" is read as 10"));
  EXPECT_FALSE(mentions(turned, "is not read by the bench")) << "the turn keys are read";
}

TEST(SceneCheck, WarnsAboutWhatTheBenchAcceptsSilently) {
  write("bad.bmp", std::string("BM") + std::string(60, '\x7f'));
  SceneReport report = check(
      "ALL=3\nALL =3\nOBJECT01_X=3\nOBJECT1_TEXTURE=on\nOBJECT1=1\nobject1_Y=2\n"
      "OBJECT1_WIDHT=4\nOBJECT1_X=1,5\nOBJECT2=1\nOBJECT2_TEXTURE=ON\nOBJECT2_FILE=bad.bmp\n"
      "OBJECT3=2\nOBJECT7_X=1\nOBJECT1=2\nno equals here\n");
  for (const char* warning :
       {"line 2: key \"ALL \" is not read by the bench: spaces around", "write OBJECT1_X",
        "object 1: TEXTURE=\"on\" is not exactly \"ON\"",
        "keys are case-sensitive; write OBJECT1_Y", "did you mean OBJECT1_WIDTH?",
        "OBJECT1_X=\"1,5\" is read as 1", "object 7 is beyond ALL=3",
        "line 14: OBJECT1 repeats line 5", "line 15: no \"=\"",
        "object 2: texture \"bad.bmp\" will not load: Unknown DIB file format."}) {
    EXPECT_TRUE(mentions(report, warning)) << warning;
  }
  EXPECT_TRUE(mentions(check("OBJECT1=1\n"), "ALL is missing"));
  EXPECT_EQ(30u, check("ALL=45\n").objectLines.size());
}

TEST(SceneCheck, PrintsTheRigAndWarnsAboutValuesTheBenchReplaces) {
  const struct {
    const char* scene;
    const char* rig;
    const char* rightEye;
  } cases[] = {
      {"ALL=0\n", "images the camera windows' client area, field of view 45 degrees, baseline 0.1",
       "yaw 0, pitch 0, roll 0 degrees; noise 0 grey levels, seed 0"},
      {"ALL=0\nCAMERA_WIDTH=640\nCAMERA_FOV=200\nRIG_BASELINE=0.25\nRIGHT_EYE_YAW=1.5\n"
       "CAMERA_NOISE=abc\nCAMERA_NOISE_SEED=-3\nCAMERA_FOVY=3\nRIG_EYE_HEIGHT=0.3m\n",
       "images 640 pixels wide, as high as the camera windows, field of view 45 degrees, "
       "baseline 0.25",
       "yaw 1.5, pitch 0, roll 0 degrees; noise 0 grey levels, seed 0"},
  };
  SceneReport reports[2];
  for (int i = 0; i < 2; ++i) {
    reports[i] = check(cases[i].scene);
    ASSERT_EQ(2u, reports[i].rigLines.size());
    EXPECT_EQ(std::string("rig: eye ") + cases[i].rig + ", eye height 0.2", reports[i].rigLines[0]);
    EXPECT_EQ(std::string("rig: right eye ") + cases[i].rightEye, reports[i].rigLines[1]);
  }
  EXPECT_TRUE(reports[0].warnings.empty());
  const SceneReport& set = reports[1];
  for (const char* warning :
       {"CAMERA_FOV=\"200\" is outside 1 to 170: the default 45 is used",
        "CAMERA_NOISE=\"abc\" is not a number: the default 0 is used",
        "CAMERA_NOISE_SEED=\"-3\" is outside 0 to 4294967295: the default 0 is used",
        "RIG_EYE_HEIGHT=\"0.3m\" is not a number: the default 0.2 is used",
        "key \"CAMERA_FOVY\" is not read by the bench: did you mean CAMERA_FOV?"}) {
    EXPECT_TRUE(mentions(set, warning)) << warning;
  }
  EXPECT_EQ(5u, set.warnings.size()) << "the keys it reads are no unknown keys";
}

const char kSceneWithOddTexture[] =
    "ALL=2\nOBJECT1=1\nOBJECT1_TEXTURE=ON\nOBJECT1_FILE=one.bmp\n"
    "OBJECT2=2\nOBJECT2_TEXTURE=ON\nOBJECT2_FILE=three.bmp\n";

// Object 2 is a lattice here, and every lattice shows its file.
TEST(SceneCheck, NotesTexturesWhoseSidesAreNotPowersOfTwo) {
  write("one.bmp", blackRow(1));
  write("three.bmp", blackRow(3));
  SceneReport report = check(kSceneWithOddTexture);
  EXPECT_TRUE(report.warnings.empty());
  ASSERT_EQ(1u, report.notes.size());
  EXPECT_EQ(0u, report.notes[0].find(
                    "object 2: texture \"three.bmp\" is 3 x 1, sides not powers of two: this "
                    "bench shows it"))
      << report.notes[0];
}

TEST(SceneCheck, WarnsAboutMeshesAndMaterialImagesThatWillNotLoad) {
  const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  write("good.obj", "mtllib good.mtl\n" + tri + "usemtl plain\nf 1 2 3\n");
  write("good.mtl", "newmtl plain\nKd 1 1 1\n");
  write("broken.obj", tri + "f 1 2 7\n");
  write("untextured.obj", "mtllib lost.mtl\n" + tri + "usemtl lost\nf 1 2 3\n");
  write("lost.mtl", "newmtl lost\nmap_Kd lost.png\n");
  const struct {
    const char* name;
    std::string keys;
    const char* warning;  // null: none at all
  } cases[] = {
      {"good mesh", "OBJECT1_FILE=good.obj\nOBJECT1_TEXTURE=ON\n", nullptr},
      {"untextured, image never read", "OBJECT1_FILE=untextured.obj\n", nullptr},
      {"turned and scaled", "OBJECT1_FILE=good.obj\nOBJECT1_ROTX=30\nOBJECT1_SCALE=2\n", nullptr},
      {"scale no number", "OBJECT1_FILE=good.obj\nOBJECT1_SCALE=2m\n", "SCALE=\"2m\" is read as 2"},
      {"missing file", "OBJECT1_FILE=absent.obj\n", "mesh \"absent.obj\" will not load: no such"},
      {"bad index", "OBJECT1_FILE=broken.obj\n", "mesh \"broken.obj\" will not load: a face"},
      {"lost image", "OBJECT1_FILE=untextured.obj\nOBJECT1_TEXTURE=ON\n",
       "lost.png\" of material lost will not load: it cannot be read"},
  };
  for (const auto& c : cases) {
    const SceneReport report = check("ALL=1\nOBJECT1=3\n" + c.keys);
    EXPECT_TRUE(c.warning ? mentions(report, c.warning) : report.warnings.empty())
        << c.name << ": " << (report.warnings.empty() ? "no warning" : report.warnings.front());
  }
}

TEST(SceneCheck, CommandLineExitStatus) {
  const std::string tool = OCULANT_SCENE_TOOL, folder = scratchDir();
  const std::string clean = write("clean.txt", "ALL=0\n");
  const std::string messy = write("messy.txt", "ALL=0\nOBJECT01=1\n");
  write("one.bmp", blackRow(1));
  write("three.bmp", blackRow(3));
  const std::string noted = write("noted.txt", kSceneWithOddTexture);
  ASSERT_TRUE(runCommand("mkfifo " + folder + "/fifo.txt"));
  const struct {
    std::string arguments;
    int status;
    const char* says;  // a part of the output
  } cases[] = {
      {clean, 0, "clean.txt: 0 objects"},
      {messy, 0, "OBJECT01"},
      {"--strict " + messy, 1, "OBJECT01"},
      {folder + "/absent.txt", 2, "absent.txt"},
      // Refused at once instead of waiting for a writer.
      {folder + "/fifo.txt", 2, "is a FIFO, not a regular file"},
      // A note is no warning, even with --strict.
      {"--strict " + noted, 0, "note: object 2: texture \"three.bmp\" is 3 x 1"},
  };
  for (const auto& c : cases) {
    const CommandRun run = runCapturing("timeout 10 " + tool + " " + c.arguments);
    EXPECT_EQ(c.status, run.status) << c.arguments << ": " << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.says)) << c.arguments << ": " << run.output;
  }
  EXPECT_EQ(0, runCapturing("cd " + folder + " && cp clean.txt config.txt && " + tool +
                            " | grep -qx 'config.txt: 0 objects'")
                   .status);
}

}  // namespace
