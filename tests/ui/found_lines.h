#pragma once
// What a test found, one indented line each, for its failure message.
#include <string>
#include <vector>

inline std::string FoundLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text;
}
