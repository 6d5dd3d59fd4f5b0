#pragma once
// Base of the animated skins: a strip of frames with per-frame delays, a
// current frame, and how frames are drawn (nine-patch margins, tiling,
// smoothing). Subclasses supply the frames.
#include <QImage>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;

class SSkinAni {
 public:
  static constexpr const char* kClassName = "skinani";
  enum FilterLevel { kFilterNone = 0, kFilterLow = 1, kFilterMedium = 2, kFilterHigh = 3 };

  virtual ~SSkinAni() = default;

  // Class queries: the skin's own name first, then its bases'.
  virtual bool IsClass(const QString& className) const;
  virtual QString ClassName() const { return QString::fromLatin1(kClassName); }

  // Applies one attribute; false when the name is unknown or the value invalid.
  virtual bool SetAttribute(const QString& name, const QString& value);

  int FrameCount() const { return m_frameCount; }
  int CurrentFrame() const { return m_currentFrame; }
  // Only when there is something to choose from and index is in range.
  void SelectFrame(int index);
  // Delay of frame index in hundredths of a second (-1: the current frame);
  // -1 for fewer than two frames or an index out of range.
  virtual int FrameDelay(int index = -1) const = 0;
  virtual QSize FrameSize() const = 0;

  // state != -1 selects that frame first; then the current frame is drawn.
  void Draw(QPainter& painter, const QRect& target, int state, qreal alpha = 1.0);

  QMargins Margins() const { return m_margins; }
  int Filter() const { return m_filterLevel; }
  bool Tile() const { return m_tile; }

 protected:
  // Draws frame index (nothing when out of range) with the skin's margins,
  // tiling and filter.
  virtual void DrawFrame(QPainter& painter, const QRect& target, int index, qreal alpha) const;
  virtual const QImage* FrameImage(int index) const = 0;
  void SetFrameCount(int count);

 private:
  int m_frameCount = 0;
  int m_currentFrame = 0;
  QMargins m_margins;
  int m_filterLevel = kFilterLow;
  bool m_tile = false;
};
