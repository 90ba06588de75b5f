#include "mesh/mesh_limits.h"

#include "mesh/mesh_file.h"

namespace {

bool isBlank(uint8_t c) {
  return c == ' ' || c == '\t';
}

// What one line asks for. Only the keywords the reader builds from are counted: positions,
// normals, texture points, and the corners of faces (lines and points are read but not drawn).
struct Counts {
  int64_t vertices[3] = {0, 0, 0};  // v, vn, vt
  int64_t triangles = 0;
  int64_t work = 0;
  int64_t lineCorners = 0;  // of lines and points, held by the reader though never drawn
};

// The words after the keyword, up to the end of the line.
int64_t wordsFrom(const uint8_t* p, const uint8_t* end) {
  int64_t words = 0;
  bool inWord = false;
  for (; p < end; ++p) {
    const bool blank = isBlank(*p);
    if (!blank && !inWord) ++words;
    inWord = !blank;
  }
  return words;
}

std::string tooMany(const char* what, int64_t limit) {
  return std::string("more than ") + std::to_string(limit) + " " + what;
}

}  // namespace

bool meshWithinLimits(const uint8_t* bytes, size_t length, std::string* failure) {
  Counts counts;
  const uint8_t* end = bytes + length;
  for (const uint8_t* line = bytes; line < end;) {
    const uint8_t* lineEnd = line;
    // The reader ends a line at a lone CR too.
    while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r') ++lineEnd;
    const uint8_t* p = line;
    while (p < lineEnd && isBlank(*p)) ++p;
    const size_t left = static_cast<size_t>(lineEnd - p);
    line = lineEnd + 1;
    if (left >= 2 && p[0] == 'v' && isBlank(p[1])) {
      ++counts.vertices[0];
    } else if (left >= 3 && p[0] == 'v' && (p[1] == 'n' || p[1] == 't') && isBlank(p[2])) {
      ++counts.vertices[p[1] == 'n' ? 1 : 2];
    } else if (left >= 2 && p[0] == 'f' && isBlank(p[1])) {
      const int64_t corners = wordsFrom(p + 1, lineEnd);
      if (corners > kMaxFaceCorners) {
        *failure = "a face with " + std::to_string(corners) + " corners: at most " +
                   std::to_string(kMaxFaceCorners);
        return false;
      }
      if (corners >= 3) counts.triangles += corners - 2;
      if (corners > 4) counts.work += corners * corners * corners;
    } else if (left >= 2 && (p[0] == 'l' || p[0] == 'p') && isBlank(p[1])) {
      counts.lineCorners += wordsFrom(p + 1, lineEnd);
    }
  }
  const char* kinds[] = {"vertices", "normals", "texture points"};
  for (int i = 0; i < 3; ++i) {
    if (counts.vertices[i] > kMaxMeshVertices) {
      *failure = tooMany(kinds[i], kMaxMeshVertices);
      return false;
    }
  }
  if (counts.triangles > kMaxMeshTriangles) {
    *failure = tooMany("triangles", kMaxMeshTriangles);
    return false;
  }
  if (counts.lineCorners > 3 * kMaxMeshTriangles) {
    *failure = tooMany("corners of lines and points", 3 * kMaxMeshTriangles);
    return false;
  }
  if (counts.work > kMaxTriangulationWork) {
    *failure = "too many faces of many corners to cut into triangles";
    return false;
  }
  return true;
}
