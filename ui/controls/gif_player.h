#pragma once
// "gifplayer": plays an animated skin from the skin pool, stretched over the
// control. It ticks on its window's timeline only while it is shown and its
// skin has more than one frame. Attributes: "skin" (pool name), "repeat".
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <ui/controls/control_events.h>
#include <ui/controls/timeline.h>

class SSkinAni;

class SGifPlayer : public QWidget, public ITimelineHandler {
  Q_OBJECT
  Q_PROPERTY(QString text READ Text WRITE SetText)

 public:
  static constexpr const char* kClassName = "gifplayer";
  // Used when a frame gives no delay of its own.
  static constexpr int kDefaultDelayMs = 90;

  explicit SGifPlayer(QWidget* parent = nullptr);
  ~SGifPlayer() override;

  // Sets the skin by pool name; false when the pool has no such skin. A skin
  // that is not animated is accepted and ignored.
  bool SetSkinByName(const QString& name);
  void SetSkin(SSkinAni* skin);
  SSkinAni* Skin() const { return m_skin; }
  void SetRepeat(bool repeat) { m_repeat = repeat; }
  bool Repeat() const { return m_repeat; }

  int CurrentFrame() const { return m_frame; }
  int RemainingDelay() const { return m_delayMs; }
  bool IsOnTimeline() const;

  // What the picture says, for assistive tools (the artwork shows it).
  QString Text() const { return m_text; }
  void SetText(const QString& text);

  // Draws a bar filled to `percent` over the area `inFrame` of the frames
  // (in the skin's own pixels), hiding what the artwork shows there; a
  // negative percent shows the artwork again.
  void SetMeter(const QRect& inFrame, int percent);
  int MeterPercent() const { return m_meterPercent; }

  QSize sizeHint() const override;
  void OnNextFrame() override;

 signals:
  // A non-repeating animation reached its end; fired once.
  void gifPlayEnd(SGifPlayer* sender);
  void clicked();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Enter and Space click it as a button's do.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int DelayOfFrameMs(int frame) const;
  void StartTicking();
  void StopTicking();

  SSkinAni* m_skin = nullptr;  // owned by the skin pool
  int m_frame = 0;
  int m_delayMs = 0;
  bool m_repeat = true;
  QPointer<QWidget> m_host;
  QPointer<CTimeline> m_timeline;
  QString m_text;
  QRect m_meterArea;
  int m_meterPercent = -1;
};
