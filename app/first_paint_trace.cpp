#include "first_paint_trace.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include <base/text_helpers.h>
#include <platform/os_info.h>

namespace {

// Milliseconds since this process started, from the kernel's own record of
// its start (so the time before main counts too); -1 when unknown.
long long MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The command name may hold blanks: fields are counted after its ')'.
  const auto close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
    if (i < 22) continue;
    const long ticks = ::sysconf(_SC_CLK_TCK);
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    const long long startMs = std::stoll(field) * 1000 / ticks;
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000 - startMs;
  }
  return -1;
}

class FirstPaintFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      platform::DebugOutput(
          FormatString("first paint %lld ms after start\n", MillisecondsSinceProcessStart()));
      watched->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }
};

}  // namespace

void TraceFirstPaint(QWidget& window) {
  if (qEnvironmentVariableIsEmpty("TIDEWELL_DEBUG")) return;
  window.installEventFilter(new FirstPaintFilter(&window));
}
