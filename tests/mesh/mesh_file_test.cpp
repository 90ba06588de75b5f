// The OBJ reader and the material images (ImageMagick writes the reference files).
#include "mesh/mesh_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <string>

#include "bounded_child.h"
#include "image/texture_file.h"
#include "magick.h"

namespace {

bool parse(const std::string& obj, MeshData* mesh, std::string* failure,
           const std::string& mtl = "") {
  const MaterialFileReader materials = [&](const std::string&, std::vector<uint8_t>* bytes) {
    bytes->assign(mtl.begin(), mtl.end());
    return !mtl.empty();
  };
  return parseMesh(reinterpret_cast<const uint8_t*>(obj.data()), obj.size(), materials, mesh,
                   failure);
}

std::string repeated(const std::string& line, int64_t times) {
  std::string text;
  while (times-- > 0) text += line;
  return text;
}

TEST(MeshFile, BuildsTrianglesInWorldAxes) {
  // Faces in the file's plane y = 2 at z from 3 to 5: the world's plane z = 2 at y from -5 to
  // -3. Their corners run clockwise seen from above, so the face normal points down.
  const std::string tri = "v 1 2 3\nv 4 2 3\nv 1 2 4\n";
  const struct {
    const char* name;
    std::string obj;
    size_t triangles;
    double area;      // of all triangles: the face's own when cut without gaps or overlaps
    float normal[3];  // of the first vertex
    float uv[2];
  } cases[] = {
      {"triangle", tri + "f 1 2 3\n", 1, 1.5, {0, 0, -1}, {0, 0}},
      {"quad", tri + "v 4 2 4\nf 1 2 4 3\n", 2, 3, {0, 0, -1}, {0, 0}},
      {"pentagon", tri + "v 4 2 4\nv 3 2 5\nf 1 2 4 5 3\n", 3, 4.5, {0, 0, -1}, {0, 0}},
      {"concave", tri + "v 4 2 5\nv 2.5 2 4\nv 1 2 5\nf 1 2 4 5 6 3\n", 4, 4.5, {0, 0, -1}, {0, 0}},
      {"relative indices", tri + "f -3 -2 -1\n", 1, 1.5, {0, 0, -1}, {0, 0}},
      {"file normals, made unit", tri + "vn 0 0 2\nf 1//1 2//1 3//1\n", 1, 1.5, {0, -1, 0}, {0, 0}},
      {"texture points", tri + "vt 0.25 0.75\nf 1/1 2/1 3/1\n", 1, 1.5, {0, 0, -1}, {0.25f, 0.75f}},
  };
  for (const auto& c : cases) {
    MeshData mesh;
    std::string failure;
    ASSERT_TRUE(parse(c.obj, &mesh, &failure)) << c.name << ": " << failure;
    ASSERT_EQ(mesh.vertexCount(), 3 * c.triangles) << c.name;
    double area = 0;
    for (size_t t = 0; t < c.triangles; ++t) {
      const float* p = &mesh.positions[9 * t];
      area += std::fabs((p[3] - p[0]) * (p[7] - p[1]) - (p[6] - p[0]) * (p[4] - p[1])) / 2;
    }
    EXPECT_NEAR(area, c.area, 1e-5) << c.name;
    for (size_t v = 0; v < mesh.vertexCount(); ++v) {
      EXPECT_EQ(mesh.positions[3 * v + 2], 2) << c.name << " vertex " << v << ": z is the file's y";
      EXPECT_LE(mesh.positions[3 * v + 1], -3) << c.name << " vertex " << v << ": y is -z";
    }
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(mesh.normals[k], c.normal[k], 1e-6) << c.name << " normal " << k;
    EXPECT_FLOAT_EQ(mesh.texturePoints[0], c.uv[0]) << c.name;
    EXPECT_FLOAT_EQ(mesh.texturePoints[1], c.uv[1]) << c.name;
  }
}

TEST(MeshFile, GroupsTrianglesByMaterial) {
  const std::string obj =
      "mtllib sub/m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\nf 1 2 3\nusemtl none\nf 1 2 3\n"
      "usemtl tex\nf 1 2 3\nf 1 2 3\n";
  const std::string mtl = "newmtl red\nKd 1 0 0\nnewmtl tex\nKd 0.5 0.5 0.5\nmap_Kd t.png\n";
  MeshData mesh;
  std::string failure;
  ASSERT_TRUE(parse(obj, &mesh, &failure, mtl)) << failure;
  ASSERT_EQ(mesh.materials.size(), 2u);
  EXPECT_FLOAT_EQ(mesh.materials[0].diffuse[0], 1);
  EXPECT_EQ(mesh.materials[1].texturePath, "sub/t.png");
  ASSERT_EQ(mesh.groups.size(), 3u);
  const int materials[] = {-1, 0, 1};
  const size_t vertices[] = {3, 3, 6};
  for (size_t g = 0; g < 3; ++g) {
    EXPECT_EQ(mesh.groups[g].material, materials[g]) << "group " << g;
    EXPECT_EQ(mesh.groups[g].vertexCount, vertices[g]) << "group " << g;
  }
}

TEST(MeshFile, RefusesWhatBreaksTheRules) {
  const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  std::string manyCorners = tri + "f";
  for (int i = 0; i < 65; ++i) manyCorners += " 1";
  const struct {
    const char* name;
    std::string obj;
    const char* failure;  // a part of the text
  } cases[] = {
      {"vertex past the end", tri + "f 1 2 4\n", "names a vertex"},
      {"quad past the end", tri + "f 1 2 3 9\n", "names a vertex"},
      {"pentagon past the end", tri + "f 1 2 3 9 8\n", "names a vertex"},
      {"normal past the end", tri + "vn 0 0 1\nf 1//2 2//2 3//2\n", "names a vertex"},
      {"texture point past the end", tri + "f 1/1 2/1 3/1\n", "names a vertex"},
      {"too many corners", manyCorners + "\n", "65 corners"},
      {"too many triangles", tri + repeated("f 1 2 3\n", kMaxMeshTriangles + 1), "triangles"},
      {"too many triangles, CR line ends", tri + repeated("f 1 2 3\r", kMaxMeshTriangles + 1),
       "triangles"},
      {"too many vertices", repeated("v 0 0 0\n", kMaxMeshVertices + 1), "vertices"},
      {"too many line corners", tri + repeated("l 1 2 3\n", kMaxMeshTriangles + 1), "lines"},
  };
  for (const auto& c : cases) {
    MeshData mesh;
    std::string failure;
    EXPECT_FALSE(parse(c.obj, &mesh, &failure)) << c.name;
    EXPECT_NE(failure.find(c.failure), std::string::npos) << c.name << ": " << failure;
    EXPECT_EQ(mesh.vertexCount(), 0u) << c.name;
  }
}

TEST(MeshFile, ReadsOnlyRegularFilesOfBoundedSize) {
  const std::string dir = scratchDir();
  const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
  writeFile(dir + "/good.obj", Bytes(tri.begin(), tri.end()));
  ASSERT_EQ(0, mkfifo((dir + "/fifo.obj").c_str(), 0600));
  writeFile(dir + "/huge.obj", Bytes(tri.begin(), tri.end()));
  ASSERT_EQ(0, truncate((dir + "/huge.obj").c_str(), off_t{1} << 30));
  // A material library that is a FIFO is passed over, as a missing one is.
  const std::string withFifo = "mtllib fifo.mtl\n" + tri;
  ASSERT_EQ(0, mkfifo((dir + "/fifo.mtl").c_str(), 0600));
  writeFile(dir + "/fifo-mtl.obj", Bytes(withFifo.begin(), withFifo.end()));
  const struct {
    const char* name;
    bool read;
    const char* failure;
  } cases[] = {
      {"good.obj", true, ""},
      {"fifo-mtl.obj", true, ""},
      {"missing.obj", false, "no such file"},
      {"fifo.obj", false, "not a regular file"},
      {"huge.obj", false, "larger than 64 MiB"},
  };
  for (const auto& c : cases) {
    const ChildOutcome outcome = runBounded([&] {
      MeshData mesh;
      std::string failure;
      const bool read = readMeshFile(dir + "/" + c.name, &mesh, &failure);
      return read == c.read && failure.find(c.failure) != std::string::npos ? 0 : 1;
    });
    EXPECT_EQ(outcome.exitCode, 0) << c.name << ": " << outcome.errors;
  }
}

TEST(MeshFile, MaterialImagesInEachFormat) {
  const std::string dir = scratchDir();
  RgbImage image{2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}};
  writePpm(dir + "/source.ppm", image);
  // BMP3: a BMP with the 40-byte header that our decoder reads, not ImageMagick's default.
  for (const char* format : {"png", "jpg", "bmp"}) {
    ASSERT_TRUE(runCommand("convert '" + dir + "/source.ppm' -quality 100 " +
                           (format[0] == 'b' ? "BMP3:'" : "'") + dir + "/good." + format + "'"));
  }
  writeFile(dir + "/broken.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0});
  // A PNG header claiming 20000 x 20000 pixels, with no pixels behind it.
  Bytes huge = {0x89, 'P',  'N',  'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0,
                0,    0x4e, 0x20, 0,   0,    0x4e, 0x20, 8,    2, 0, 0, 0,  0,   0,   0,   0};
  writeFile(dir + "/huge.png", huge);
  const struct {
    const char* name;
    const char* failure;  // null: read, with the source's bottom-left pixel red
  } cases[] = {
      {"good.png", nullptr},
      {"good.jpg", nullptr},
      {"good.bmp", nullptr},
      {"missing.png", "cannot be read"},
      {"broken.png", "is no BMP, PNG or JPEG image that can be decoded"},
      {"huge.png", "is no BMP, PNG or JPEG image that can be decoded"},
  };
  for (const auto& c : cases) {
    const ChildOutcome outcome = runBounded([&] {
      std::string failure;
      TextureImage* read = readImageFile((dir + "/" + c.name).c_str(), &failure);
      const bool ok = c.failure == nullptr
                          ? read != nullptr && read->width == 2 && read->height == 2 &&
                                read->pixels[0] > 200 && read->pixels[1] < 60
                          : read == nullptr && failure == c.failure;
      freeTextureImage(read);
      return ok ? 0 : 1;
    });
    EXPECT_EQ(outcome.exitCode, 0) << c.name;
  }
}

}  // namespace
