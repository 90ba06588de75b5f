// oculant-scene generate, run as a program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "image/bmp_decoder.h"
#include "magick.h"
#include "mesh/mesh_file.h"
#include "scene/config_file.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"
#include "scene_check.h"

namespace fs = std::filesystem;

namespace {

CommandRun runTool(const std::string& arguments) {
  return runCapturing(std::string(OCULANT_SCENE_TOOL) + " " + arguments);
}

// Every file of the folder by name.
std::map<std::string, std::string> filesOf(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = readText(entry.path());
  return files;
}

// FNV-1a over names and contents in name order.
uint64_t digestOf(const std::map<std::string, std::string>& files) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const auto& [name, bytes] : files)
    for (const std::string* part : {&name, &bytes})
      for (const char c : *part + '\0') hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3ull;
  return hash;
}

struct Box {
  double low[3] = {1e300, 1e300, 1e300};
  double high[3] = {-1e300, -1e300, -1e300};
  void add(double x, double y, double z) {
    const double p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) low[i] = std::min(low[i], p[i]), high[i] = std::max(high[i], p[i]);
  }
  double distance(const double p[3]) const {
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
      const double d = std::max({low[i] - p[i], 0.0, p[i] - high[i]});
      sum += d * d;
    }
    return std::sqrt(sum);
  }
};

// A point of an object's own frame turned about x, then y, then z, and moved to its anchor.
void addTurned(const SceneObject& o, double x, double y, double z, Box* box) {
  const double rad = 3.141592653589793 / 180;
  const double ax = o.ROTX * rad, ay = o.ROTY * rad, az = o.ROTZ * rad;
  const double y1 = y * std::cos(ax) - z * std::sin(ax), z1 = y * std::sin(ax) + z * std::cos(ax);
  const double x2 = x * std::cos(ay) + z1 * std::sin(ay),
               z2 = -x * std::sin(ay) + z1 * std::cos(ay);
  const double x3 = x2 * std::cos(az) - y1 * std::sin(az),
               y3 = x2 * std::sin(az) + y1 * std::cos(az);
  box->add(o.X + x3, o.Y + y3, o.Z + z2);
}

// The mesh as the bench reads it; one without texture points, with a material that its library
// does not define, or with a missing material image is a problem here.
MeshData readMesh(const fs::path& folder, const std::string& name,
                  std::vector<std::string>* problems) {
  MeshData mesh;
  std::string failure;
  if (!readMeshFile((folder / name).string(), &mesh, &failure))
    problems->push_back(name + ": " + failure);
  for (const MeshGroup& group : mesh.groups)
    if (group.material < 0) problems->push_back(name + ": a material its library lacks");
  for (const MeshMaterial& material : mesh.materials)
    if (!material.texturePath.empty() && !fs::exists(folder / material.texturePath))
      problems->push_back(name + ": no " + material.texturePath);
  if (std::all_of(mesh.texturePoints.begin(), mesh.texturePoints.end(),
                  [](float t) { return t == 0; }))
    problems->push_back(name + ": no texture points");
  return mesh;
}

// The world box of an object as the bench draws it, from the scene the bench reads.
Box boundsOf(const fs::path& folder, const SceneObject& o) {
  Box box;
  if (o.kind == OBJECT_SLAB) {
    for (int i = 0; i < 8; ++i)
      addTurned(o, i & 1 ? o.WIDTH : 0, i & 2 ? o.HEIGHT : 0, i & 4 ? 0 : -0.2, &box);
  } else if (o.kind == OBJECT_LATTICE) {  // its boards, unturned
    const double boardsX = std::ceil(o.WIDTH), boardsY = std::ceil(o.HEIGHT);
    for (const double z : {o.Y, o.Y + 2}) {
      if (o.WIDTH > 0)
        for (const double y : {-o.Z, -o.Z + 0.2, o.HEIGHT - o.Z - 0.2, o.HEIGHT - o.Z})
          box.add(o.X, y, z), box.add(o.X + boardsX, y, z);
      if (o.HEIGHT > 0)
        for (const double x : {o.Z, o.Z + 0.2, o.Z + o.WIDTH - 0.2, o.Z + o.WIDTH})
          box.add(x, o.X, z), box.add(x, o.X + boardsY, z);
    }
  } else if (o.kind == OBJECT_MESH) {
    std::vector<std::string> ignored;
    const std::vector<float> p = readMesh(folder, o.fileName, &ignored).positions;
    for (size_t i = 0; i + 2 < p.size(); i += 3)
      addTurned(o, p[i] * o.SCALE, p[i + 1] * o.SCALE, p[i + 2] * o.SCALE, &box);
  }
  return box;
}

// Each test generates into its own names under this process's scratch folder.
const fs::path root = scratchDir();

fs::path generate(const std::string& name, const std::string& arguments) {
  const fs::path folder = root / name;
  const CommandRun run = runTool("generate " + arguments + " '" + folder.string() + "'");
  EXPECT_EQ(0, run.status) << run.output;
  return folder;
}

TEST(SceneGenerator, SameSeedSameBytesAnotherSeedOthers) {
  const struct {
    const char* arguments;
    uint64_t digest;  // the same on every machine
  } cases[] = {{"--seed 7 --objects 20 --poses 30", 12742420717974661861ull},
               {"--seed 7 --objects 20 --poses 30 --plain --size 64x48", 6651327210701436808ull}};
  for (const auto& c : cases) {
    const auto first = filesOf(generate("a", c.arguments));
    const auto again = filesOf(generate("b", c.arguments));
    EXPECT_EQ(first, again) << c.arguments;
    EXPECT_EQ(c.digest, digestOf(first)) << c.arguments;
    std::string other = c.arguments;
    other.replace(other.find("7"), 1, "8");
    EXPECT_NE(digestOf(first), digestOf(filesOf(generate("c", other)))) << other;
    // Asking for poses leaves the scene as it was without them.
    std::string withoutPoses = c.arguments;
    withoutPoses.erase(withoutPoses.find(" --poses 30"), 11);
    auto scene = first;
    scene.erase("poses.csv");
    EXPECT_EQ(scene, filesOf(generate("d", withoutPoses))) << withoutPoses;
    for (const char* name : {"a", "b", "c", "d"}) fs::remove_all(root / name);
  }
}

// Each scene also passes the strict check, which reads its textures and meshes as the bench does.
TEST(SceneGenerator, TexturesDecodeMeshesAreWellFormedPosesKeepClearTheCheckPasses) {
  for (const char* arguments :
       {"--seed 11 --objects 27 --poses 200", "--seed 12 --objects 27 --poses 200 --plain"}) {
    const fs::path folder = generate("scene", arguments);
    int textures = 0, meshes = 0;
    for (const auto& [name, bytes] : filesOf(folder)) {
      const std::string type = name.substr(name.find('.') + 1);
      if (type == "bmp") {
        ++textures;
        DecodedBmp image = {};
        EXPECT_EQ(BmpStatus::OK,
                  decodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &image))
            << name;
        EXPECT_TRUE(image.width == image.height && image.width >= 64 &&
                    (image.width & (image.width - 1)) == 0)
            << name << " " << image.width << " x " << image.height;
        std::free(image.rgb);
      } else if (type == "obj") {
        ++meshes;
        std::vector<std::string> problems;
        EXPECT_GT(readMesh(folder, name, &problems).vertexCount(), 0u) << name;
        EXPECT_EQ(std::vector<std::string>{}, problems);
      }
    }
    EXPECT_GE(textures, 2) << arguments;  // the wall's and the floor's at least
    const SceneReport report = checkSceneFile((folder / "config.txt").string(), folder.string());
    EXPECT_EQ(std::vector<std::string>{}, report.warnings) << arguments;
    EXPECT_EQ(30u, report.objectLines.size()) << arguments;
    // The poses against the boxes of the objects as the bench reads them: the eyes, half the
    // baseline from the rig's centre, keep the near clipping distance from every box.
    std::memset(&configTable, 0, sizeof configTable);
    SceneModel sceneModel = {};
    RigSettings rig = kDefaultRig;
    ASSERT_EQ(0,
              readConfigFileNamed((folder / "config.txt").c_str(), ROLE_SCENE, &sceneModel, &rig));
    std::vector<Box> boxes;
    int meshObjects = 0;
    for (int i = 0; i < sceneModel.objectCount; ++i) {
      const SceneObject& o = sceneModel.objects[i];
      meshObjects += o.kind == OBJECT_MESH;
      if (o.textured || o.kind == OBJECT_MESH) boxes.push_back(boundsOf(folder, o));
    }
    EXPECT_EQ(meshes, meshObjects) << arguments;
    std::istringstream poses(readText(folder / "poses.csv"));
    std::string line;
    std::getline(poses, line);  // the header
    int count = 0;
    while (std::getline(poses, line)) {
      ++count;
      double rig[3] = {0, 0, 0.2};
      double heading = 0;
      ASSERT_GE(
          std::sscanf(line.c_str(), "%lf, %lf, %lf, %lf", &rig[0], &rig[1], &heading, &rig[2]), 3)
          << line;
      for (size_t b = 0; b < boxes.size(); ++b)
        EXPECT_GE(boxes[b].distance(rig), 0.15)
            << "pose " << count << " (" << line << "), object box " << b;
    }
    EXPECT_EQ(200, count) << arguments;
    fs::remove_all(folder);
  }
}

TEST(SceneGenerator, RefusesWhatItCannotDo) {
  fs::create_directories(root / "full");
  for (const char* name : {"notes.txt", "poses.csv", "object29.obj"})
    std::ofstream(root / "full" / name) << "mine";
  std::ofstream(root / "file") << "x";
  const std::string full = "'" + (root / "full").string() + "'";
  const std::string out = "'" + (root / "out").string() + "'";
  const struct {
    std::string arguments;
    int status;
    const char* says;
  } cases[] = {
      {"--seed 1 --objects 3 " + full, 2, "is not empty"},
      {"--seed 1 --objects 3 '" + (root / "file").string() + "'", 2, "is not a folder"},
      {"--seed 1 --objects 0 " + out, 2, "--objects 0: from 1 to 27"},
      {"--seed 1 --objects 28 " + out, 2, "--objects 28: from 1 to 27"},
      {"--seed -1 --objects 3 " + out, 2, "--seed -1: not a whole number"},
      {"--seed 1 --objects 3 --poses 0 " + out, 2, "--poses 0: from 1"},
      {"--seed 1 --objects 3 --size 8x8 " + out, 2, "--size 8x8"},
      {"--objects 3 " + out, 2, "--seed S is needed"},
      {"--seed 1 " + out, 2, "--objects N is needed"},
      {"--seed 1 --objects 3", 2, "DIR is needed"},
      {"--seed 1 --objects 3 --colour " + out, 2, "unknown option --colour"},
      {"--help", 0, "usage: oculant-scene generate"},
      {"--seed 1 --objects 3 --force " + full, 0, "wrote"},
  };
  for (const auto& c : cases) {
    const CommandRun run = runTool("generate " + c.arguments);
    EXPECT_EQ(c.status, run.status) << c.arguments << ": " << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.says)) << c.arguments << ": " << run.output;
  }
  EXPECT_FALSE(fs::exists(root / "out"));
  // --force leaves other files, and no file of an earlier scene that the new one lacks.
  EXPECT_EQ("mine", readText(root / "full" / "notes.txt"));
  EXPECT_FALSE(fs::exists(root / "full" / "poses.csv"));
  EXPECT_FALSE(fs::exists(root / "full" / "object29.obj"));
}

}  // namespace
