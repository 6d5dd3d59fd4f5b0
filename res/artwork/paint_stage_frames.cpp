// Paints the frames of the four stage images of the install form as PNGs:
// <out>/<stage>_NN.png. Each stage is a 425 x 130 card on the page's white
// with a small moving sign of work; the install button invites a click with
// a passing sheen.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numbers>

namespace {

// The language the words in the frames are painted in ("en": English).
bool g_english = false;

QString Say(const QString& chinese, const QString& english) {
  return g_english ? english : chinese;
}

constexpr int kWidth = 425;
constexpr int kHeight = 130;
constexpr int kFrames = 12;
const QColor kBlue(0x1f, 0x5f, 0xe0);
const QColor kDeepBlue(0x13, 0x3a, 0x8f);
const QColor kTeal(0x16, 0xb4, 0xc8);
const QColor kInk(0x1d, 0x2b, 0x45);
const QColor kGrey(0x6b, 0x78, 0x90);

QFont Font(int pixelSize, bool bold) {
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// The card every working stage sits on: white, a light blue rim.
void Card(QPainter& p) {
  p.fillRect(QRect(0, 0, kWidth, kHeight), Qt::white);
  QPainterPath card;
  card.addRoundedRect(QRectF(1.5, 1.5, kWidth - 3, kHeight - 3), 14, 14);
  QLinearGradient fill(0, 0, 0, kHeight);
  fill.setColorAt(0, QColor(0xf3, 0xf7, 0xff));
  fill.setColorAt(1, Qt::white);
  p.fillPath(card, fill);
  p.setPen(QPen(QColor(0xc9, 0xd8, 0xf6), 1.5));
  p.drawPath(card);
}

void Texts(QPainter& p, const QString& title, const QString& note) {
  p.setPen(kInk);
  p.setFont(Font(19, true));
  p.drawText(QRectF(128, 30, 285, 30), Qt::AlignLeft | Qt::AlignVCenter, title);
  p.setPen(kGrey);
  p.setFont(Font(13, false));
  p.drawText(QRectF(128, 62, 285, 22), Qt::AlignLeft | Qt::AlignVCenter, note);
}

// A thin bar whose stripes run to the right: work without a known end.
void RunningStripes(QPainter& p, double phase) {
  const QRectF bar(128, 94, 260, 8);
  QPainterPath track;
  track.addRoundedRect(bar, 4, 4);
  p.fillPath(track, QColor(0xe3, 0xeb, 0xfb));
  p.save();
  p.setClipPath(track);
  const double step = 20;
  for (double x = bar.left() - 2 * step + phase * step; x < bar.right(); x += step) {
    QPainterPath stripe;
    stripe.moveTo(x, bar.bottom());
    stripe.lineTo(x + 8, bar.top());
    stripe.lineTo(x + 16, bar.top());
    stripe.lineTo(x + 8, bar.bottom());
    stripe.closeSubpath();
    p.fillPath(stripe, kBlue);
  }
  p.restore();
}

void IconDisc(QPainter& p) {
  QRadialGradient glow(QPointF(64, 65), 46);
  glow.setColorAt(0, QColor(0xe4, 0xee, 0xff));
  glow.setColorAt(1, QColor(0xd2, 0xe2, 0xff));
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(QPointF(64, 65), 44, 44);
}

void PaintInstall(QPainter& p, int frame) {
  p.fillRect(QRect(0, 0, kWidth, kHeight), Qt::white);
  QPainterPath button;
  button.addRoundedRect(QRectF(2, 6, kWidth - 4, kHeight - 12), 20, 20);
  QLinearGradient fill(0, 0, kWidth, kHeight);
  fill.setColorAt(0, QColor(0x2a, 0x6b, 0xf2));
  fill.setColorAt(1, QColor(0x14, 0x9c, 0xd8));
  p.fillPath(button, fill);
  // The sheen crosses in the first two thirds of the loop, then rests.
  const double t = frame / (kFrames * 0.66);
  if (t <= 1.0) {
    p.save();
    p.setClipPath(button);
    const double x = -120 + t * (kWidth + 240);
    QLinearGradient sheen(x - 60, 0, x + 60, 0);
    sheen.setColorAt(0, QColor(255, 255, 255, 0));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 70));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(x - 60, 0, 120, kHeight), sheen);
    p.restore();
  }
  // Download sign: a white disc with an arrow into a tray.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 235));
  p.drawEllipse(QPointF(64, 65), 34, 34);
  p.setPen(QPen(kBlue, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(64, 46), QPointF(64, 72));
  p.drawPolyline(QPolygonF({QPointF(53, 62), QPointF(64, 73), QPointF(75, 62)}));
  p.drawPolyline(QPolygonF({QPointF(49, 76), QPointF(49, 83), QPointF(79, 83), QPointF(79, 76)}));
  p.setPen(Qt::white);
  p.setFont(Font(20, true));
  p.drawText(QRectF(112, 26, 300, 44), Qt::AlignLeft | Qt::AlignVCenter,
             Say(QStringLiteral("DeepSeek未安装，点击即可下载"),
                 QStringLiteral("Click to install DeepSeek")));
  p.setPen(QColor(255, 255, 255, 210));
  p.setFont(Font(13, false));
  p.drawText(QRectF(112, 70, 300, 26), Qt::AlignLeft | Qt::AlignVCenter,
             Say(QStringLiteral("一键安装运行器、模型与聊天客户端"),
                 QStringLiteral("Runner, model and chat client in one go")));
}

void PaintDownload(QPainter& p, int frame) {
  Card(p);
  IconDisc(p);
  // A parcel, and an arrow that drops into it over and over.
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawRoundedRect(QRectF(44, 70, 40, 26), 4, 4);
  p.setBrush(QColor(0x6f, 0x9c, 0xf5));
  p.drawRect(QRectF(61, 70, 6, 26));
  const double drop = std::fmod(frame / double(kFrames), 1.0);
  const double y = 30 + drop * 30;
  p.setOpacity(1.0 - 0.6 * drop);
  p.setPen(QPen(kTeal, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(64, y), QPointF(64, y + 16));
  p.drawPolyline(QPolygonF({QPointF(56, y + 9), QPointF(64, y + 17), QPointF(72, y + 9)}));
  p.setOpacity(1.0);
  Texts(p, Say(QStringLiteral("正在下载安装包…"), QStringLiteral("Downloading the package…")),
        Say(QStringLiteral("请保持网络连接，下载完成后自动安装"),
            QStringLiteral("Stay online; it installs when downloaded")));
  RunningStripes(p, frame / double(kFrames));
}

void Gear(QPainter& p, QPointF centre, double radius, int teeth, double angle, QColor colour) {
  QPainterPath gear;
  const double outer = radius;
  const double inner = radius * 0.78;
  for (int i = 0; i < teeth * 4; ++i) {
    const double a = angle + i * std::numbers::pi / (teeth * 2);
    const double r = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
    const QPointF point(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
    if (i == 0) {
      gear.moveTo(point);
    } else {
      gear.lineTo(point);
    }
  }
  gear.closeSubpath();
  gear.addEllipse(centre, radius * 0.32, radius * 0.32);
  gear.setFillRule(Qt::OddEvenFill);
  p.fillPath(gear, colour);
}

void PaintSetup(QPainter& p, int frame) {
  Card(p);
  IconDisc(p);
  const double turn = 2 * std::numbers::pi * frame / kFrames;
  // Teeth of 8 and 6: the small gear turns 8/6 as fast the other way.
  Gear(p, QPointF(56, 72), 22, 8, turn / 8, kBlue);
  Gear(p, QPointF(84, 48), 15, 6, -turn / 6 * (8.0 / 8.0) + 0.3, kTeal);
  Texts(p,
        Say(QStringLiteral("正在安装 Ollama 与 Chatbox…"),
            QStringLiteral("Installing Ollama and Chatbox…")),
        Say(QStringLiteral("安装过程无需操作，请稍候"),
            QStringLiteral("Nothing to do meanwhile, please wait")));
  RunningStripes(p, frame / double(kFrames));
}

void PaintModel(QPainter& p, int frame) {
  Card(p);
  IconDisc(p);
  // A chip with pins; pulses of light travel along its lines.
  p.setPen(QPen(kBlue, 3, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 3; ++i) {
    const double at = 54 + i * 10;
    p.drawLine(QPointF(at, 38), QPointF(at, 46));
    p.drawLine(QPointF(at, 84), QPointF(at, 92));
    p.drawLine(QPointF(36, at + 1), QPointF(44, at + 1));
    p.drawLine(QPointF(84, at + 1), QPointF(92, at + 1));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(kDeepBlue);
  p.drawRoundedRect(QRectF(44, 46, 40, 38), 7, 7);
  p.setBrush(kBlue);
  p.drawRoundedRect(QRectF(51, 53, 26, 24), 4, 4);
  // A wave in the chip's core, moving with the frames.
  QPainterPath wave;
  for (int x = 0; x <= 20; ++x) {
    const double y =
        65 + 5 * std::sin(x / 20.0 * 2 * std::numbers::pi + 2 * std::numbers::pi * frame / kFrames);
    if (x == 0) {
      wave.moveTo(54 + x, y);
    } else {
      wave.lineTo(54 + x, y);
    }
  }
  p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(wave);
  // Data dots flowing in from the left.
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i) {
    const double t = std::fmod(frame / double(kFrames) + i / 3.0, 1.0);
    p.setBrush(QColor(kTeal.red(), kTeal.green(), kTeal.blue(), int(255 * (1 - t))));
    p.drawEllipse(QPointF(22 + t * 14, 65), 2.6, 2.6);
  }
  Texts(p, Say(QStringLiteral("正在下载模型…"), QStringLiteral("Downloading the model…")),
        Say(QStringLiteral("模型较大，下载需要一些时间，请耐心等待"),
            QStringLiteral("Models are large: this takes a while")));
  RunningStripes(p, frame / double(kFrames));
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder> [en]\n", argv[0]);
    return 2;
  }
  g_english = argc > 2 && std::strcmp(argv[2], "en") == 0;
  const QString suffix = g_english ? QStringLiteral("_en") : QString();
  const QString out = QString::fromLocal8Bit(argv[1]);
  const std::pair<const char*, std::function<void(QPainter&, int)>> stages[] = {
      {"install", PaintInstall},
      {"download", PaintDownload},
      {"setup", PaintSetup},
      {"model", PaintModel},
  };
  for (const auto& [name, paint] : stages) {
    for (int frame = 0; frame < kFrames; ++frame) {
      QImage image(kWidth, kHeight, QImage::Format_RGB32);
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setRenderHint(QPainter::TextAntialiasing);
      paint(painter, frame);
      painter.end();
      const QString file = QStringLiteral("%1/%2%3_%4.png")
                               .arg(out, QString::fromLatin1(name), suffix)
                               .arg(frame, 2, 10, QLatin1Char('0'));
      if (!image.save(file)) return 1;
    }
  }
  return 0;
}
