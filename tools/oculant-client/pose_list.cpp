#include "pose_list.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

// Splits at commas and blanks; empty fields between two commas count, so "1,,2" is an error.
std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  bool pending = false;  // a field has started (text or a comma before it)
  for (const char c : line) {
    if (c == ',') {
      fields.push_back(field);
      field.clear();
      pending = true;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      if (!field.empty()) {
        fields.push_back(field);
        field.clear();
        pending = false;
      }
    } else {
      field += c;
      pending = true;
    }
  }
  if (pending || !field.empty()) fields.push_back(field);
  return fields;
}

bool parseFinite(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return *end == '\0' && std::isfinite(*value);
}

}  // namespace

bool parsePoseList(const std::string& text, std::vector<oculant::Pose>* poses, std::string* error) {
  poses->clear();
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  bool first = true;
  while (std::getline(lines, line)) {
    ++number;
    const size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    std::vector<std::string> fields = fieldsOf(line);
    // A trailing comma leaves an empty last field; "1, 2, 3," is still three numbers.
    if (fields.size() > 3 && fields.back().empty()) fields.pop_back();
    // x, y, heading, then optionally height, pitch and roll: a pose leaves out what it does
    // not set, from the end.
    double values[6];
    bool numbers = fields.size() >= 3 && fields.size() <= 6;
    for (size_t i = 0; numbers && i < fields.size(); ++i) {
      numbers = parseFinite(fields[i], &values[i]);
    }
    // Only a first line without digits is a header: "2;2.3;90" is a pose with separators this
    // list does not take, and is refused as such rather than skipped.
    const bool header = first && line.find_first_of("0123456789") == std::string::npos;
    first = false;
    if (header) continue;
    if (!numbers) {
      *error = "line " + std::to_string(number) +
               ": expected x, y, heading and optionally height, pitch, roll (three to six "
               "numbers separated by commas or blanks)";
      return false;
    }
    oculant::Pose pose;
    double* fieldsOfPose[6] = {&pose.x,      &pose.y,     &pose.heading,
                               &pose.height, &pose.pitch, &pose.roll};
    for (size_t i = 0; i < fields.size(); ++i) *fieldsOfPose[i] = values[i];
    poses->push_back(pose);
  }
  if (poses->empty()) {
    *error = "no poses in the file";
    return false;
  }
  return true;
}
