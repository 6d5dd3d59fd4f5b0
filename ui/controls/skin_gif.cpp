#include <ui/controls/skin_gif.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>

#include <ui/controls/control_attributes.h>
#include <ui/controls/gif_delays.h>

namespace {

std::vector<QImage> ReadFrames(QImageReader& reader, std::vector<int>& delays) {
  std::vector<QImage> images;
  if (!reader.canRead()) return images;
  // The reader composes each frame over the earlier ones, so every image is
  // a whole picture; its delay is the one read with it, in milliseconds.
  for (;;) {
    QImage image = reader.read();
    if (image.isNull()) break;
    images.push_back(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    delays.push_back(std::max(0, reader.nextImageDelay()) / 10);
    if (!reader.canRead()) break;
  }
  return images;
}

}  // namespace

bool SSkinGif::IsClass(const QString& className) const {
  return attr::Is(className, kClassName) || SSkinAni::IsClass(className);
}

QString SSkinGif::ResourcePath(const QString& src) {
  const qsizetype colon = src.indexOf(QLatin1Char(':'));
  const QString type = colon < 0 ? QStringLiteral("gif") : src.left(colon);
  const QString name = colon < 0 ? src : src.mid(colon + 1);
  return QStringLiteral(":/%1/%2").arg(type, name);
}

bool SSkinGif::SetAttribute(const QString& name, const QString& value) {
  if (!attr::Is(name, "src")) return SSkinAni::SetAttribute(name, value);
  QFile file(ResourcePath(value.trimmed()));
  if (!file.open(QIODevice::ReadOnly)) return false;
  LoadFromMemory(file.readAll());
  return true;
}

int SSkinGif::LoadFromMemory(const QByteArray& data) {
  QByteArray copy = data;
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  std::vector<int> delays;
  std::vector<QImage> images = ReadFrames(reader, delays);
  // The file's own delays where it has them: the reader's are rounded up.
  const std::vector<int> written = ReadGifFrameDelays(data);
  m_frames.clear();
  for (std::size_t i = 0; i < images.size(); ++i) {
    m_frames.push_back({images[i], i < written.size() ? written[i] : delays[i]});
  }
  SetFrameCount(static_cast<int>(m_frames.size()));
  return FrameCount();
}

int SSkinGif::LoadFromFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    m_frames.clear();
    SetFrameCount(0);
    return 0;
  }
  return LoadFromMemory(file.readAll());
}

int SSkinGif::FrameDelay(int index) const {
  if (index == -1) index = CurrentFrame();
  if (FrameCount() < 2 || index < 0 || index >= FrameCount()) return -1;
  return m_frames[static_cast<std::size_t>(index)].delay;
}

QSize SSkinGif::FrameSize() const {
  return m_frames.empty() ? QSize() : m_frames.front().image.size();
}

const QImage* SSkinGif::FrameImage(int index) const {
  if (index < 0 || index >= static_cast<int>(m_frames.size())) return nullptr;
  return &m_frames[static_cast<std::size_t>(index)].image;
}
