#include <work/notify_center.h>

#include <algorithm>

void INotifyCenter::addEvent(int id, const std::string& name) {
  CMutexLock lock(eventsMutex_);
  if (std::none_of(events_.begin(), events_.end(), [id](const auto& e) { return e.first == id; })) {
    events_.emplace_back(id, name);
  }
}

bool INotifyCenter::IsEventDeclared(int id) const {
  CMutexLock lock(eventsMutex_);
  return std::any_of(events_.begin(), events_.end(), [id](const auto& e) { return e.first == id; });
}

void INotifyCenter::RegisterEventMap(IEventMap* map) {
  CMutexLock lock(eventsMutex_);
  if (map != nullptr && std::find(maps_.begin(), maps_.end(), map) == maps_.end()) {
    maps_.push_back(map);
  }
}

void INotifyCenter::UnregisterEventMap(IEventMap* map) {
  CMutexLock lock(eventsMutex_);
  maps_.erase(std::remove(maps_.begin(), maps_.end(), map), maps_.end());
}

void INotifyCenter::FireEventSync(EventArgs& event) {
  if (!IsEventDeclared(event.GetID())) return;
  std::vector<IEventMap*> maps;
  {
    CMutexLock lock(eventsMutex_);
    maps = maps_;  // a handler may register or unregister maps
  }
  for (IEventMap* map : maps) map->OnEvent(event);
}

void DeclareApplicationEvents(INotifyCenter& center) {
  center.addEvent(EventQrCodeDisChanged3::EventID, EventQrCodeDisChanged3::EventName);
  center.addEvent(EventDownModelChanged3::EventID, EventDownModelChanged3::EventName);
}
