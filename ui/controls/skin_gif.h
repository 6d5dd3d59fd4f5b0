#pragma once
// The "gif" skin: frames and per-frame delays decoded from a GIF image with
// Qt's image reader. An image that cannot be decoded leaves no frames.
#include <QByteArray>
#include <QImage>
#include <QString>

#include <vector>

#include <ui/controls/skin_ani.h>

class SSkinGif : public SSkinAni {
 public:
  static constexpr const char* kClassName = "gif";

  bool IsClass(const QString& className) const override;
  QString ClassName() const override { return QString::fromLatin1(kClassName); }

  // "src": "type:name" or a name alone (type "gif"), read from the resources
  // at ":/type/name". Other names go to the base.
  bool SetAttribute(const QString& name, const QString& value) override;

  // Replaces the frames; returns the new frame count.
  int LoadFromMemory(const QByteArray& data);
  int LoadFromFile(const QString& path);

  int FrameDelay(int index = -1) const override;
  QSize FrameSize() const override;

  // The resource path a "src" value names.
  static QString ResourcePath(const QString& src);

 protected:
  const QImage* FrameImage(int index) const override;

 private:
  struct Frame {
    QImage image;   // premultiplied ARGB, the image's full size
    int delay = 0;  // hundredths of a second
  };
  std::vector<Frame> m_frames;
};
