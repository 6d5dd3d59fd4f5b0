#include <tests/support/recording_view.h>

namespace {
const char* const kStages[] = {"imgNoDownDeekSeek", "imgDownDeekSeek", "imgInstDeekSeek",
                               "imgDownModeling"};
}

RecordingView::RecordingView() {
  // As the layout starts: the install image only, the first install form page.
  for (const char* stage : kStages) shown[stage] = false;
  shown["imgNoDownDeekSeek"] = true;
  pages["tab_pages2"] = 0;
}

bool RecordingView::IsShown(const std::string& name) const {
  const auto it = shown.find(name);
  return it != shown.end() && it->second;
}

std::string RecordingView::Stage() const {
  std::string stage;
  for (const char* name : kStages) {
    if (!IsShown(name)) continue;
    if (!stage.empty()) return "";
    stage = name;
  }
  return stage;
}
