#pragma once
// "imgbanner": pages without tabs, with one indicator button per page laid
// out in a centred row near the top, and an optional change timer that
// advances to the next page. Attributes: "RadioInter" (gap), "RadioTop"
// (top offset), "RadioSkin" (indicator skin from the pool), "ChangeInter"
// (change interval in milliseconds; 0 keeps the timer off).
#include <QStackedWidget>

#include <vector>

#include <ui/controls/control_events.h>

class QAbstractButton;
class QTimer;
class SSkinAni;

class SImgBanner : public QStackedWidget {
  Q_OBJECT

 public:
  static constexpr const char* kClassName = "imgbanner";

  explicit SImgBanner(QWidget* parent = nullptr);
  ~SImgBanner() override;

  // The indicator of page index; the banner takes it as a child. Clicking
  // it selects its page.
  void SetIndicator(int page, QAbstractButton* indicator);
  QAbstractButton* Indicator(int page) const;

  void SetIndicatorSkin(SSkinAni* skin);
  void SetIndicatorGap(int gap) {
    m_gap = gap;
    LayoutIndicators();
  }
  void SetIndicatorTop(int top) {
    m_top = top;
    LayoutIndicators();
  }
  void SetChangeInterval(int ms);
  int ChangeInterval() const { return m_changeInterval; }
  bool IsChangeTimerActive() const;

  // Moves the indicators to their places; with fewer than two of them or no
  // skin they are left where they are.
  void LayoutIndicators();
  // The next page, wrapping from the last to the first.
  void Advance();

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnPageChanged(int index);

  std::vector<QAbstractButton*> m_indicators;  // children of the banner
  SSkinAni* m_skin = nullptr;                  // owned by the skin pool
  int m_gap = 0;
  int m_top = 0;
  int m_changeInterval = 0;
  bool m_suppressFeedback = false;
  QTimer* m_changeTimer = nullptr;
};
