#pragma once
// The window thread's door for everyone else: run a function there, waiting
// for it or not, and dispatch named events to the registered event maps.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <config/singleton.h>
#include <platform/thread_annotations.h>
#include <work/ui_events.h>

class IEventMap {
 public:
  // Called on the window thread for every fired event.
  virtual void OnEvent(EventArgs& event) = 0;

 protected:
  virtual ~IEventMap() = default;
};

class INotifyCenter : public CSingleton<INotifyCenter> {
 public:
  virtual ~INotifyCenter() = default;

  // Runs fn on the window thread and waits for it; on the window thread
  // itself fn runs at once.
  virtual void RunOnUISync(const std::function<void()>& fn) = 0;
  // Queues fn for the window thread, in posting order, and returns at once.
  virtual void RunOnUIAsync(std::function<void()> fn) = 0;
  virtual bool IsWindowThread() const = 0;

  // Event declaration and dispatch; these run on the window thread.
  void addEvent(int id, const std::string& name) TW_EXCLUDES(eventsMutex_);
  bool IsEventDeclared(int id) const TW_EXCLUDES(eventsMutex_);
  void RegisterEventMap(IEventMap* map) TW_EXCLUDES(eventsMutex_);
  void UnregisterEventMap(IEventMap* map) TW_EXCLUDES(eventsMutex_);
  // Dispatches at once to every registered map; undeclared events go nowhere.
  void FireEventSync(EventArgs& event) TW_EXCLUDES(eventsMutex_);

 private:
  mutable CMutex eventsMutex_;
  std::vector<std::pair<int, std::string>> events_ TW_GUARDED_BY(eventsMutex_);
  std::vector<IEventMap*> maps_ TW_GUARDED_BY(eventsMutex_);
};

// Declares the application's three UI events, in their order.
void DeclareApplicationEvents(INotifyCenter& center);

// From a worker: builds the event on the window thread later, fires it and
// destroys it.
template <class E, class Setup>
void PostUIEvent(Setup&& setup) {
  INotifyCenter* center = INotifyCenter::getSingletonPtr();
  if (center == nullptr) return;
  center->RunOnUIAsync([setup = std::forward<Setup>(setup)]() mutable {
    E event;
    setup(event);
    if (INotifyCenter* c = INotifyCenter::getSingletonPtr()) c->FireEventSync(event);
  });
}

template <class E>
void PostUIEvent() {
  PostUIEvent<E>([](E&) {});
}
