#pragma once
// Named events the workers and controls send to the window. Each class knows
// its ID and registered name; events sent by the application have no sender,
// so their source ID is 0.
#include <cstring>
#include <string>

class EventArgs {
 public:
  virtual ~EventArgs() = default;
  virtual int GetID() const = 0;
  virtual const char* GetName() const = 0;
  virtual bool IsClass(const char* className) const {
    return std::strcmp(className, "EventArgs") == 0;
  }

  int idFrom = 0;  // source ID: 0 without a sender
  bool handled = false;
};

template <class T>
class TplEventArgs : public EventArgs {
 public:
  int GetID() const override { return T::EventID; }
  const char* GetName() const override { return T::EventName; }
  bool IsClass(const char* className) const override {
    return std::strcmp(className, T::ClassName) == 0 || EventArgs::IsClass(className);
  }
};

class EventQrCodeDisChanged3 : public TplEventArgs<EventQrCodeDisChanged3> {
 public:
  static constexpr int EventID = 10010105;
  static constexpr const char* EventName = "On_Event_QrCodeDisChanged3";
  static constexpr const char* ClassName = "EventQrCodeDisChanged3";
  int installation = 0;  // which installation's package step failed
  std::wstring cause;    // why, in the window's words
};

class EventDownModelChanged3 : public TplEventArgs<EventDownModelChanged3> {
 public:
  static constexpr int EventID = 10010106;
  static constexpr const char* EventName = "On_Event_DownModelChanged3";
  static constexpr const char* ClassName = "EventDownModelChanged3";
  int installation = 0;  // which installation's package is ready
};
