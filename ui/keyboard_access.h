#pragma once
// Keyboard and screen-reader access to the main window: Tab walks the
// controls of the showing page in reading order (inside an open overlay it
// stays there), the focused control wears a ring, Enter activates buttons
// as Space does, Escape closes the overlay through its close button, and
// every control carries an accessible name and description in the current
// language (retranslated when the language changes).
#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;
class CFocusRing;

class CKeyboardAccess : public QObject {
  Q_OBJECT

 public:
  // Joins the window built from the main layout; the window owns the result.
  static CKeyboardAccess* Attach(QWidget& window);
  ~CKeyboardAccess() override;

  // The controls Tab visits now, in order: the open overlay's when it shows
  // (its close button last), else the showing page's.
  QList<QWidget*> TabChain() const;
  // The ring that marks the focused control (hidden while none is marked).
  QWidget* FocusRing() const;
  // Sets the accessible names and descriptions in the current language.
  void ApplyTexts();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit CKeyboardAccess(QWidget& window);
  bool OnKeyPress(QWidget* target, int key, Qt::KeyboardModifiers modifiers);
  void MoveFocus(QWidget* from, bool forward);
  void OnOverlayShown();
  void OnOverlayHidden();
  QWidget* Overlay() const;
  QWidget* OverlayClose() const;
  CFocusRing* Ring();

  QWidget& m_window;
  QPointer<CFocusRing> m_ring;        // owned by the window
  QPointer<QWidget> m_overlay;        // "tab_Tip"
  QPointer<QWidget> m_overlayClose;   // its shared close button
  QPointer<QWidget> m_beforeOverlay;  // focus returns here when the overlay closes
};
