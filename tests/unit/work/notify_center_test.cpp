#include <gtest/gtest.h>

#include <vector>

#include <tests/support/gate.h>
#include <work/plain_notify_center.h>

namespace {

struct Undeclared : TplEventArgs<Undeclared> {
  static constexpr int EventID = 1;
  static constexpr const char* EventName = "On_Event_Undeclared";
  static constexpr const char* ClassName = "Undeclared";
};

struct RecordingMap : IEventMap {
  void OnEvent(EventArgs& event) override {
    seen.push_back(std::string(event.GetName()) + "/" + std::to_string(event.idFrom));
    if (event.IsClass("EventQrCodeDisChanged3")) {
      cause = static_cast<EventQrCodeDisChanged3&>(event).cause;
    }
  }
  std::vector<std::string> seen;
  std::wstring cause;
};

TEST(NotifyCenter, SyncRunsOnTheWindowThreadAndNeverWaitsForItself) {
  CPlainNotifyCenter center;
  EXPECT_FALSE(center.IsWindowThread());
  bool onWindow = false;
  bool nested = false;
  center.RunOnUISync([&] {
    onWindow = center.IsWindowThread();
    center.RunOnUISync([&] { nested = true; });  // would hang if it queued
  });
  EXPECT_TRUE(onWindow);
  EXPECT_TRUE(nested);
}

TEST(NotifyCenter, AsyncKeepsPostingOrderAndDrainsOnDestruction) {
  std::vector<int> order;
  {
    CPlainNotifyCenter center;
    for (int i = 0; i < 100; ++i) center.RunOnUIAsync([&order, i] { order.push_back(i); });
  }
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(NotifyCenter, DeclaredEventsReachTheMapsFromWorkers) {
  CPlainNotifyCenter center;
  EXPECT_EQ(INotifyCenter::getSingletonPtr(), &center);
  DeclareApplicationEvents(center);
  RecordingMap map;
  center.RunOnUISync([&] { center.RegisterEventMap(&map); });
  std::thread worker([] {
    PostUIEvent<EventDownModelChanged3>();
    PostUIEvent<EventQrCodeDisChanged3>();
  });
  worker.join();
  center.RunOnUISync([&] {
    EventQrCodeDisChanged3 failed;
    failed.cause = L"why";
    center.FireEventSync(failed);
    Undeclared undeclared;
    center.FireEventSync(undeclared);
  });
  center.RunOnUISync([&] { center.UnregisterEventMap(&map); });
  std::thread([] { PostUIEvent<EventDownModelChanged3>(); }).join();
  center.RunOnUISync([] {});
  EXPECT_EQ(map.seen, (std::vector<std::string>{"On_Event_DownModelChanged3/0",
                                                "On_Event_QrCodeDisChanged3/0",
                                                "On_Event_QrCodeDisChanged3/0"}));
  EXPECT_EQ(map.cause, L"why");  // the payload of the last one
  EventDownModelChanged3 event;
  EXPECT_EQ(event.GetID(), 10010106);
  EXPECT_TRUE(event.IsClass("EventDownModelChanged3"));
  EXPECT_TRUE(event.IsClass("EventArgs"));
  EXPECT_FALSE(event.IsClass("EventQrCodeDisChanged3"));
}

}  // namespace
