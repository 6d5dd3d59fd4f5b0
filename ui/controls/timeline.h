#pragma once
// One animation clock per top-level window: a 10 ms tick that calls every
// registered handler. The clock runs only while something is registered, and
// its tick source can be replaced so tests drive ticks by hand.
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

class ITimelineHandler {
 public:
  virtual void OnNextFrame() = 0;

 protected:
  virtual ~ITimelineHandler() = default;
};

class ITickSource {
 public:
  virtual ~ITickSource() = default;
  virtual void Start(std::function<void()> onTick) = 0;
  virtual void Stop() = 0;
};

class CTimeline : public QObject {
 public:
  static constexpr int kTickMs = 10;

  // The window's timeline, made on first use with a QTimer tick source.
  static CTimeline* ForWindow(QWidget* window);
  // Gives the window a timeline driven by source (tests); replaces none
  // that already exists and returns the one in place.
  static CTimeline* Install(QWidget* window, std::unique_ptr<ITickSource> source);

  CTimeline(QWidget* window, std::unique_ptr<ITickSource> source);
  ~CTimeline() override;

  void Register(ITimelineHandler* handler);
  void Unregister(ITimelineHandler* handler);
  bool IsRegistered(const ITimelineHandler* handler) const;
  std::size_t HandlerCount() const { return m_handlers.size(); }

  // One tick: every handler registered at its start that is still registered
  // when its turn comes.
  void Tick();

 private:
  std::unique_ptr<ITickSource> m_source;
  std::vector<ITimelineHandler*> m_handlers;
  bool m_running = false;
};

// The everyday tick source: a 10 ms precise QTimer.
class CQTimerTickSource final : public ITickSource {
 public:
  CQTimerTickSource();
  ~CQTimerTickSource() override;
  void Start(std::function<void()> onTick) override;
  void Stop() override;

 private:
  std::unique_ptr<class QTimer> m_timer;
};
