#pragma once
class QWidget;

// With TIDEWELL_DEBUG set, writes once, when the window is first painted,
// how long after the process started that was (the developer trace).
void TraceFirstPaint(QWidget& window);
