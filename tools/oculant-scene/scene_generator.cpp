#include "scene_generator.h"

#include <algorithm>
#include <cmath>

#include "mesh_shapes.h"
#include "pose_sampler.h"
#include "random_stream.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"
#include "texture_patterns.h"

namespace {

constexpr int kPositionDecimals = 3;
constexpr int kAngleDecimals = 1;
constexpr double kSlabThickness = 0.2;  // slabs hang this far below their Z
constexpr double kBoardHeight = 2;      // lattice boards stand this high above their Y

// Independent streams, so that one purpose drawing more numbers leaves the others as they were.
enum StreamPurpose : uint64_t { LAYOUT = 1, POSES = 2, TEXTURE = 1000, MESH = 2000 };

struct Object {
  ObjectKind kind = OBJECT_SLAB;
  double x = 0, y = 0, z = 0, width = 0, height = 0;
  double rotX = 0, rotY = 0, rotZ = 0, scale = 1;
  bool turned = false;
  bool textured = false;
  std::string file;         // the texture, or for a mesh its OBJ file
  bool colourOnly = false;  // untextured slab: sets the colour of what follows
  Box bounds = {};
};

Box boundsOf(const std::vector<Vec3>& points) {
  Box box = {points.front(), points.front()};
  for (const Vec3& p : points) {
    box.low = {std::min(box.low.x, p.x), std::min(box.low.y, p.y), std::min(box.low.z, p.z)};
    box.high = {std::max(box.high.x, p.x), std::max(box.high.y, p.y), std::max(box.high.z, p.z)};
  }
  return box;
}

// The box from low to high, scaled, turned and moved to the anchor as the bench places objects.
Box placedBounds(const Object& o, const Vec3& low, const Vec3& high) {
  std::vector<Vec3> corners;
  for (int i = 0; i < 8; ++i) {
    const Vec3 local = {(i & 1 ? high.x : low.x) * o.scale, (i & 2 ? high.y : low.y) * o.scale,
                        (i & 4 ? high.z : low.z) * o.scale};
    const Vec3 t = turned(local, o.rotX, o.rotY, o.rotZ);
    corners.push_back({o.x + t.x, o.y + t.y, o.z + t.z});
  }
  return boundsOf(corners);
}

// A slab spans WIDTH along x and HEIGHT along y from its anchor, its top face at the anchor.
Box slabBounds(const Object& o) {
  return placedBounds(o, {0, 0, -kSlabThickness}, {o.width, o.height, 0});
}

// A lattice of HEIGHT 0 is one row of WIDTH boards: x from X, two boards thick about y = -Z,
// standing from z = Y.
Box boardRowBounds(const Object& o) {
  return {{o.x, -o.z - 0.2, o.y}, {o.x + o.width, -o.z + 0.2, o.y + kBoardHeight}};
}

// What the eyes see at the start pose: tangents of half the field of view.
struct View {
  double tanHalfHeight;
  double tanHalfWidth;
};

View startView(const GeneratorOptions& options) {
  double s = 0;
  double c = 1;
  sinCosDegrees(kDefaultRig.fieldOfViewY / 2, &s, &c);
  const double aspect = options.cameraWidth > 0 && options.cameraHeight > 0
                            ? static_cast<double>(options.cameraWidth) / options.cameraHeight
                            : 4.0 / 3.0;  // the camera windows' own client area
  return {s / c, s / c * aspect};
}

std::string objectFile(int number, const char* extension) {
  std::string digits = std::to_string(number);
  return "object" + std::string(digits.size() < 2 ? 1 : 0, '0') + digits + "." + extension;
}

class SceneBuilder {
 public:
  SceneBuilder(const GeneratorOptions& options, GeneratedScene* scene)
      : options_(options),
        scene_(scene),
        layout_(options.seed, LAYOUT),
        view_(startView(options)) {}

  void backdrop() {
    Object tint;
    tint.colourOnly = true;
    objects_.push_back(tint);
    const double left = roundedTo(kStartPose.rigX - 12, 1);
    Object wall;
    wall.textured = true;
    if (options_.plain) {
      wall.kind = OBJECT_LATTICE;
      wall.x = left, wall.y = -0.2, wall.z = -9, wall.width = 24, wall.height = 0;
      wall.bounds = boardRowBounds(wall);
    } else {
      wall.x = left, wall.y = 9, wall.z = -1, wall.width = 24, wall.height = 9;
      wall.rotX = 90, wall.turned = true;
      wall.bounds = slabBounds(wall);
    }
    addTextured(&wall);
    Object floor;
    floor.textured = true;
    floor.x = left, floor.y = -3, floor.z = 0, floor.width = 24, floor.height = 12.2;
    floor.bounds = slabBounds(floor);
    addTextured(&floor);
  }

  void randomObjects() {
    for (int i = 0; i < options_.objects; ++i) {
      const uint32_t roll = layout_.below(100);
      if (options_.plain ? roll < 60 : roll < 35) {
        slab();
      } else if (options_.plain || roll < 50) {
        boardRow();
      } else {
        mesh();
      }
    }
  }

  void finish() {
    std::string config = "ALL=" + std::to_string(objects_.size()) + "\n";
    if (options_.cameraWidth > 0)
      config += "CAMERA_WIDTH=" + std::to_string(options_.cameraWidth) + "\n";
    if (options_.cameraHeight > 0)
      config += "CAMERA_HEIGHT=" + std::to_string(options_.cameraHeight) + "\n";
    for (size_t i = 0; i < objects_.size(); ++i)
      config += keysOf(static_cast<int>(i) + 1, objects_[i]);
    scene_->files.insert(scene_->files.begin(), {"config.txt", {config.begin(), config.end()}});
    for (const Object& o : objects_)
      if (!o.colourOnly) scene_->solids.push_back(o.bounds);
    scene_->summary = std::to_string(options_.objects) + " objects (" + std::to_string(counts_[0]) +
                      " slabs, " + std::to_string(counts_[1]) + " lattice boards, " +
                      std::to_string(counts_[2]) + " meshes) before a wall and a floor";
  }

 private:
  int nextNumber() const { return static_cast<int>(objects_.size()) + 1; }

  // A place in the start pose's view, from 1.5 to 6 ahead: its distance ahead and centre.
  double placeInView(Vec3* centre) {
    const double ahead = layout_.decimal(1.5, 6, kPositionDecimals);
    const double side = ahead * view_.tanHalfWidth * 0.8;
    const double up = ahead * view_.tanHalfHeight * 0.6;
    // Heading 90 looks along +y, with +x to the right.
    centre->x = kStartPose.rigX + layout_.decimal(-side, side, kPositionDecimals);
    centre->y = kStartPose.rigY + ahead;
    centre->z = layout_.decimal(0.1, kDefaultRig.eyeHeight + up, kPositionDecimals);
    return ahead;
  }

  void randomTurn(Object* o, double maxX, double maxY) {
    if (options_.plain) return;
    o->rotX = layout_.decimal(-maxX, maxX, kAngleDecimals);
    o->rotY = layout_.decimal(-maxY, maxY, kAngleDecimals);
    o->rotZ = layout_.decimal(-180, 180, kAngleDecimals);
    o->turned = true;
  }

  void slab() {
    Object o;
    o.textured = true;
    Vec3 centre;
    const double ahead = placeInView(&centre);
    const double size = 0.2 + 0.15 * ahead;
    o.width = layout_.decimal(size / 2, size, kPositionDecimals);
    o.height = layout_.decimal(size / 2, size, kPositionDecimals);
    randomTurn(&o, 90, 60);
    // The anchor is a corner of the top face: put it where the turned slab's middle lands on
    // the chosen centre.
    const Vec3 middle =
        turned({o.width / 2, o.height / 2, -kSlabThickness / 2}, o.rotX, o.rotY, o.rotZ);
    o.x = roundedTo(centre.x - middle.x, kPositionDecimals);
    o.y = roundedTo(centre.y - middle.y, kPositionDecimals);
    o.z = roundedTo(centre.z - middle.z, kPositionDecimals);
    o.bounds = slabBounds(o);
    ++counts_[0];
    addTextured(&o);
  }

  // Lattices stay unturned: every lattice shows object 2's texture, and a row of boards faces
  // the rig as it stands.
  void boardRow() {
    Object o;
    o.kind = OBJECT_LATTICE;
    o.textured = true;
    Vec3 centre;
    placeInView(&centre);
    o.width = layout_.between(1, 3);
    o.x = roundedTo(centre.x - o.width / 2, kPositionDecimals);
    o.y = roundedTo(centre.z - kBoardHeight / 2 + layout_.decimal(-0.5, 0.5, kPositionDecimals),
                    kPositionDecimals);
    o.z = -centre.y;
    o.file = objects_[1].file;
    o.bounds = boardRowBounds(o);
    ++counts_[1];
    objects_.push_back(o);
  }

  void mesh() {
    Object o;
    o.kind = OBJECT_MESH;
    const int number = nextNumber();
    RandomStream random(options_.seed, MESH + static_cast<uint64_t>(number));
    const GeneratedMesh shape = randomMesh(random);
    Vec3 centre;
    const double ahead = placeInView(&centre);
    o.x = centre.x, o.y = centre.y, o.z = centre.z;
    o.scale = layout_.decimal(0.3, 0.3 + 0.15 * ahead, kPositionDecimals);
    randomTurn(&o, 180, 90);
    o.textured = layout_.chance(70);
    const double colour[3] = {layout_.decimal(0.2, 1, 3), layout_.decimal(0.2, 1, 3),
                              layout_.decimal(0.2, 1, 3)};
    std::string texture;
    if (o.textured) texture = addTexture(number);
    Vec3 low;
    Vec3 high;
    meshBounds(shape, &low, &high);
    o.bounds = placedBounds(o, low, high);
    o.file = objectFile(number, "obj");
    const std::string material = objectFile(number, "mtl");
    addFile(o.file, meshObjText(shape, material));
    addFile(material, meshMtlText(colour, texture));
    ++counts_[2];
    objects_.push_back(o);
  }

  std::string addTexture(int number) {
    RandomStream random(options_.seed, TEXTURE + static_cast<uint64_t>(number));
    const std::string name = objectFile(number, "bmp");
    scene_->files.push_back({name, textureBmpBytes(randomTexture(random))});
    return name;
  }

  void addTextured(Object* o) {
    o->file = addTexture(nextNumber());
    objects_.push_back(*o);
  }

  void addFile(const std::string& name, const std::string& text) {
    scene_->files.push_back({name, {text.begin(), text.end()}});
  }

  static std::string keysOf(int number, const Object& o) {
    const std::string key = "OBJECT" + std::to_string(number);
    std::string text = key + "=" + std::to_string(o.kind) + "\n";
    auto add = [&](const char* suffix, const std::string& value) {
      text += key + suffix + "=" + value + "\n";
    };
    if (o.colourOnly) {
      for (const char* suffix : {"_R", "_G", "_B"}) add(suffix, "1");
      return text;
    }
    add("_X", fixedDecimal(o.x, kPositionDecimals));
    add("_Y", fixedDecimal(o.y, kPositionDecimals));
    add("_Z", fixedDecimal(o.z, kPositionDecimals));
    if (o.kind != OBJECT_MESH) {
      add("_WIDTH", fixedDecimal(o.width, kPositionDecimals));
      add("_HEIGHT", fixedDecimal(o.height, kPositionDecimals));
    } else {
      add("_SCALE", fixedDecimal(o.scale, kPositionDecimals));
    }
    if (o.turned) {
      add("_ROTX", fixedDecimal(o.rotX, kAngleDecimals));
      add("_ROTY", fixedDecimal(o.rotY, kAngleDecimals));
      add("_ROTZ", fixedDecimal(o.rotZ, kAngleDecimals));
    }
    if (o.textured) add("_TEXTURE", "ON");
    add("_FILE", o.file);
    return text;
  }

  const GeneratorOptions& options_;
  GeneratedScene* scene_;
  RandomStream layout_;
  View view_;
  std::vector<Object> objects_;
  int counts_[3] = {0, 0, 0};  // slabs, board rows, meshes
};

}  // namespace

double distanceToBox(const Vec3& p, const Box& box) {
  const double dx = std::max({box.low.x - p.x, 0.0, p.x - box.high.x});
  const double dy = std::max({box.low.y - p.y, 0.0, p.y - box.high.y});
  const double dz = std::max({box.low.z - p.z, 0.0, p.z - box.high.z});
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

bool generateScene(const GeneratorOptions& options, GeneratedScene* scene, std::string* error) {
  *scene = GeneratedScene();
  SceneBuilder builder(options, scene);
  builder.backdrop();
  builder.randomObjects();
  builder.finish();
  if (options.poses == 0) return true;
  const View view = startView(options);
  RandomStream random(options.seed, POSES);
  std::string poses;
  if (!randomPoses(random, scene->solids, options.poses, !options.plain, view.tanHalfWidth,
                   view.tanHalfHeight, &poses, error))
    return false;
  scene->files.push_back({"poses.csv", {poses.begin(), poses.end()}});
  scene->summary += ", " + std::to_string(options.poses) + " poses";
  return true;
}
