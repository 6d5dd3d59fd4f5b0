#pragma once
// Events the custom controls declare in their own event sets. They carry the
// sender's identity through the Qt signal that delivers them.
#include <work/ui_events.h>

class EventGifPlayEnd : public TplEventArgs<EventGifPlayEnd> {
 public:
  static constexpr int EventID = 10011001;
  static constexpr const char* EventName = "on_event_gifplayend";
  static constexpr const char* ClassName = "EventGifPlayEnd";
};

// Declared for layouts that listen for it; the banner itself never fires it.
class EventImgBannerClick : public TplEventArgs<EventImgBannerClick> {
 public:
  static constexpr int EventID = 10010601;
  static constexpr const char* EventName = "on_event_imgbannerclick";
  static constexpr const char* ClassName = "EventImgBannerClick";
};
