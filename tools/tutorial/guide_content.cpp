#include "guide_content.h"

#include <QBuffer>
#include <QDir>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgRenderer>

#include <catalogue/model_catalogue.h>

#include "guide_composer.h"

namespace {

using namespace guide_style;

// Where the assistant keeps things on the platform the guide is built for.
#ifdef Q_OS_WIN
const QString kDefaultFolder = QStringLiteral("<code>C:\\AlTidewell</code>");
const QString kWorkFolder = QStringLiteral("%LOCALAPPDATA%\\Tidewell");
const QString kSettingsPlace = QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Tidewell");
const QString kSettingsWhat =
    QStringLiteral("注册表中助手自己的设置：安装地址、运行器使用的端口等");
#else
const QString kDefaultFolder = QStringLiteral("是个人文件夹下的 <code>AlTidewell</code>");
const QString kWorkFolder = QStringLiteral("~/.local/share/Tidewell");
const QString kSettingsPlace = QStringLiteral("~/.config/Tidewell/registry");
const QString kSettingsWhat = QStringLiteral("助手自己的设置：安装地址、运行器使用的端口等");
#endif

// The working part of the window (form, stage image, requirements) without
// the banner, so that the stage is readable at print size.
QImage StageArea(const QImage& window) { return window.copy(30, 318, 758, 282); }
QImage ProgressDialog(const QImage& window) { return window.copy(120, 176, 578, 268); }
QImage ModelListDialog(const QImage& window) { return window.copy(65, 42, 688, 534); }

QString FromView(std::wstring_view text) {
  return QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
}

struct GuideImages {
  QImage install, download, progress, setup, model, finished, models;
  bool Complete() const {
    return !install.isNull() && !download.isNull() && !progress.isNull() && !setup.isNull() &&
           !model.isNull() && !finished.isNull() && !models.isNull();
  }
};

GuideImages LoadScreenshots(const QString& folder) {
  const QDir dir(folder);
  auto load = [&dir](const char* name) { return QImage(dir.filePath(QString::fromLatin1(name))); };
  return {load("main_install.png"), load("main_download.png"), load("main_progress.png"),
          load("main_setup.png"),   load("main_model.png"),    load("main_finished.png"),
          load("main_models.png")};
}

// "大小 1.10GB | CPU 4核 | ..." as table cells, the labels dropped.
QString ModelTableRows() {
  QString rows;
  for (const ModelEntry& entry : ModelCatalogue()) {
    QString cells = QStringLiteral("<td><b>%1</b></td>").arg(FromView(entry.tag));
    const QStringList parts = FromView(entry.requirementText).split(QStringLiteral(" | "));
    for (const QString& part : parts) {
      const qsizetype space = part.indexOf(QLatin1Char(' '));
      cells += QStringLiteral("<td align=\"center\">%1</td>")
                   .arg((space < 0 ? part : part.mid(space + 1)).toHtmlEscaped());
    }
    rows += QStringLiteral("<tr>%1</tr>").arg(cells);
  }
  return rows;
}

void DrawTitlePage(GuideComposer& guide, QSvgRenderer& banner, QSvgRenderer& logo,
                   const GuideImages& shots, const QString& version) {
  QPainter& p = guide.Painter();
  const QRectF page = guide.PageRect();
  const double bannerHeight = page.width() * 241.0 / 800.0;
  banner.render(&p, QRectF(0, 0, page.width(), bannerHeight));

  // The banner carries the product's name and promise; the title goes below.
  p.save();
  QFont font(kFontFamily);
  font.setBold(true);
  font.setPointSizeF(32);
  p.setFont(font);
  p.setPen(kInk);
  const double titleTop = bannerHeight + guide.Mm(14);
  // The logo beside the title, the pair centred.
  const QString title = QStringLiteral("安装教程（必读）");
  const double logoSize = guide.Mm(15);
  const double gap = guide.Mm(5);
  const double titleWidth = QFontMetricsF(font, &guide.Writer()).horizontalAdvance(title);
  const double pairLeft = (page.width() - logoSize - gap - titleWidth) / 2;
  logo.render(&p, QRectF(pairLeft, titleTop + guide.Mm(1.5), logoSize, logoSize));
  p.drawText(QRectF(pairLeft + logoSize + gap, titleTop, titleWidth + guide.Mm(2), guide.Mm(18)),
             Qt::AlignLeft | Qt::AlignVCenter, title);
  font.setBold(false);
  font.setPointSizeF(12.5);
  p.setFont(font);
  p.setPen(kMuted);
  p.drawText(QRectF(0, titleTop + guide.Mm(20), page.width(), guide.Mm(8)), Qt::AlignCenter,
             QStringLiteral("一次点击，在自己的电脑上用上 DeepSeek-R1：运行器、模型、聊天客户端"));
  p.restore();

  // The window as the reader will first meet it.
  const double shotWidth = guide.Mm(140);
  const double shotHeight = shotWidth * shots.install.height() / shots.install.width();
  const QRectF shot((page.width() - shotWidth) / 2, titleTop + guide.Mm(36), shotWidth, shotHeight);
  p.save();
  for (int step = 4; step >= 1; --step) {
    QPainterPath shadow;
    shadow.addRoundedRect(
        shot.adjusted(-guide.Mm(0.5) * step, 0, guide.Mm(0.5) * step, guide.Mm(0.8) * step),
        guide.Mm(2), guide.Mm(2));
    p.fillPath(shadow, QColor(20, 40, 90, 12));
  }
  p.drawImage(shot, shots.install);
  p.restore();

  // What the guide covers, in two columns.
  const QStringList chapters = {
      QStringLiteral("1　认识安装助手"),  QStringLiteral("2　选择模型"),
      QStringLiteral("3　选择安装位置"),  QStringLiteral("4　一键安装的四个阶段"),
      QStringLiteral("5　安装完成以后"),  QStringLiteral("6　文件都在哪里"),
      QStringLiteral("7　遇到提示怎么办")};
  p.save();
  const double listTop = shot.bottom() + guide.Mm(12);
  const double columnWidth = guide.Mm(70);
  const double listLeft = (page.width() - 2 * columnWidth) / 2;
  QFont listFont(kFontFamily);
  listFont.setPointSizeF(11);
  p.setFont(listFont);
  p.setPen(kBlue);
  listFont.setBold(true);
  p.setFont(listFont);
  p.drawText(QRectF(listLeft, listTop, 2 * columnWidth, guide.Mm(8)),
             Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("本教程内容"));
  listFont.setBold(false);
  p.setFont(listFont);
  p.setPen(kInk);
  for (qsizetype i = 0; i < chapters.size(); ++i) {
    const double x = listLeft + static_cast<double>(i % 2) * columnWidth;
    const double y = listTop + guide.Mm(10) + static_cast<double>(i / 2) * guide.Mm(7.5);
    p.drawText(QRectF(x, y, columnWidth, guide.Mm(7)), Qt::AlignLeft | Qt::AlignVCenter,
               chapters[i]);
  }
  p.setPen(QPen(kRule, guide.Mm(0.35)));
  const double footerY = page.height() - guide.Mm(18);
  p.drawLine(QPointF(guide.Mm(20), footerY), QPointF(page.width() - guide.Mm(20), footerY));
  listFont.setPointSizeF(9);
  p.setFont(listFont);
  p.setPen(kMuted);
  p.drawText(QRectF(guide.Mm(20), footerY + guide.Mm(2), page.width() - guide.Mm(40), guide.Mm(7)),
             Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tidewell %1").arg(version));
  p.drawText(QRectF(guide.Mm(20), footerY + guide.Mm(2), page.width() - guide.Mm(40), guide.Mm(7)),
             Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("安装之前请先花五分钟读完本教程"));
  p.restore();
}

void WriteSections(GuideComposer& guide, const GuideImages& shots) {
  const QColor warn(0xd9, 0x77, 0x06);
  const QColor alert(0xdc, 0x26, 0x26);
  const QColor tip(0x05, 0x96, 0x69);

  guide.Heading(QStringLiteral("1"), QStringLiteral("认识安装助手"));
  guide.Text(QStringLiteral(
      "<p>DeepSeek-R1 是一个能理解和书写中文的大语言模型。把它装在自己的电脑上以后，"
      "提问和回答都在本机完成：不必联网使用，资料不出电脑，也不受网络速度影响。</p>"
      "<p>手工部署需要分别安装运行器、下载模型、安装并设置聊天软件，步骤多、容易出错。"
      "Tidewell 安装助手把这些步骤合成了<b>一次点击</b>：</p>"
      "<ul>"
      "<li><b>Ollama 运行器</b>：在本机加载并运行模型的程序，在后台工作；</li>"
      "<li><b>DeepSeek-R1 模型</b>：按您选择的大小下载，存放在您选择的文件夹里；</li>"
      "<li><b>Chatbox 聊天客户端</b>：像聊天软件一样的窗口，已自动设置好使用刚下载的模型。</li>"
      "</ul>"
      "<p>安装不需要管理员权限，全部内容都装在当前用户名下。安装过程中请保持网络畅通，"
      "并让电脑保持开机，不要进入睡眠。</p>"));

  guide.Heading(QStringLiteral("2"), QStringLiteral("选择模型"));
  guide.Text(QStringLiteral(
      "<p>在窗口的<b>「下载模型」</b>下拉列表中选择模型大小。名称中的数字（1.5B、7B……）"
      "表示模型的参数规模：越大越聪明，但需要的内存、磁盘空间和下载时间也越多。"
      "选定后，右侧会显示<b>所需空间</b>、当前位置的<b>可用空间</b>和<b>硬件要求</b>。</p>"));
  guide.Text(
      QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"5\">"
                     "<tr><th>模型</th><th>下载大小</th><th>CPU</th><th>内存</th><th>显卡</th></tr>"
                     "%1</table>")
          .arg(ModelTableRows()));
  guide.Note(
      QStringLiteral("怎样选才合适"),
      QStringLiteral("<ul>"
                     "<li>第一次使用，推荐 <b>1.5B</b>：下载最快，普通笔记本电脑也能流畅运行。</li>"
                     "<li>内存是最重要的一项：请选择内存要求<b>不超过</b>本机内存的型号，"
                     "否则回答会非常慢，甚至无法运行。</li>"
                     "<li>没有独立显卡时模型用 CPU 运行，同样可用，只是速度慢一些。</li>"
                     "<li>安装位置的可用空间应比下载大小多出 <b>5 GB</b> 以上，"
                     "用来存放安装包、运行器和聊天客户端。</li>"
                     "</ul>"),
      tip);
  guide.Figure(
      {shots.install, QStringLiteral("安装页：左侧选择模型和安装地址，右侧是空间与硬件要求")},
      0.72);

  guide.Heading(QStringLiteral("3"), QStringLiteral("选择安装位置"));
  guide.Text(QStringLiteral(
      "<p><b>「安装地址」</b>一栏是运行器、模型和聊天客户端的存放位置。可以直接输入，"
      "也可以点击<b>「选择路径」</b>在对话框中挑选文件夹，右侧的「可用空间」"
      "随之更新。请确认它大于所选模型的「所需空间」。</p>"
      "<ul>"
      "<li>请选择空间充足、自己有写入权限的位置，例如个人文件夹下的某个文件夹；"
      "不存在的文件夹会在安装时自动创建。</li>"
      "<li>模型文件较大，不建议放在 U 盘、移动硬盘或网络位置：拔出或断开后模型将无法使用。</li>"
      "<li>助手会记住这个位置，下次打开时自动填好。</li>"
      "</ul>"));

  guide.Heading(QStringLiteral("4"), QStringLiteral("一键安装的四个阶段"), 110);
  guide.Text(
      QStringLiteral("<p>确认模型和位置后，点击蓝色的<b>「DeepSeek未安装，点击即可下载」</b>。"
                     "之后不需要任何操作，助手会依次完成四个阶段，当前阶段显示在同一位置：</p>"));
  guide.Text(
      QStringLiteral(
          "<p><b>阶段一　下载安装包。</b>助手从服务器下载安装包并解压到安装位置，弹出的进度窗口"
          "显示百分比。关闭进度窗口会<b>取消</b>下载，安装按钮随即恢复，再点一次即可重新开始。"
          "已下载完整的安装包会保留，下次安装不再重复下载。</p>"),
      70);
  guide.Figure({StageArea(shots.download), QStringLiteral("阶段一：下载安装包")}, 0.82);
  guide.Figure(
      {ProgressDialog(shots.progress), QStringLiteral("下载安装包时的进度窗口；关闭它即取消下载")},
      0.6);
  guide.Text(
      QStringLiteral("<p><b>阶段二　安装运行器。</b>静默安装 Ollama 运行器，不会弹出其他安装窗口。"
                     "如果本机的运行器已经可以使用，这一步会自动跳过。</p>"),
      70);
  guide.Figure({StageArea(shots.setup), QStringLiteral("阶段二：安装运行器")}, 0.82);
  guide.Text(
      QStringLiteral(
          "<p><b>阶段三　下载模型。</b>这是最耗时的一步：1.5B 约 1 GB，更大的模型可达数十 GB。"
          "下载期间请耐心等待，不要关闭助手。万一中途关闭了，重新打开助手再点一次安装即可："
          "只要这期间没有重新启动电脑，模型会从已经下载的部分接着下载。</p>"),
      70);
  guide.Figure({StageArea(shots.model), QStringLiteral("阶段三：下载模型")}, 0.82);
  guide.Text(QStringLiteral(
      "<p><b>阶段四　安装聊天客户端并完成。</b>助手安装 Chatbox，把它设置为使用刚下载的模型，"
      "再确认模型已能被运行器找到，随后进入完成页（第 5 节）。</p>"));
  guide.Note(QStringLiteral("安装期间"),
             QStringLiteral("<p>整个过程没有时间限制，网速慢时只是需要更久。请不要在下载模型时"
                            "关闭窗口或让电脑睡眠；若长时间没有任何变化，请参阅第 7 节。</p>"),
             warn);

  guide.Heading(QStringLiteral("5"), QStringLiteral("安装完成以后"), 120);
  guide.Text(QStringLiteral(
      "<p>安装成功后显示完成页，窗口下方会显示已下载的模型，例如"
      "「已下载 deepseek-r1:1.5b」。以后再打开助手，它会发现已安装的模型，直接显示这一页。</p>"));
  guide.Figure({shots.finished, QStringLiteral("完成页：立即体验、下载其他模型、使用教程")}, 0.72);
  guide.Text(QStringLiteral(
      "<ul>"
      "<li><b>立即体验</b>：打开 Chatbox 聊天客户端（如尚未安装会先自动安装）。"
      "在输入框里提问即可，模型已经选好，无需设置。</li>"
      "<li><b>下载其他模型</b>：打开模型列表，每一行是一种大小，点击该行的<b>「下载」</b>即开始；"
      "下载期间该行显示「下载中，请耐心等待...」，完成后按钮变为不可点击。"
      "一次下载一个即可。</li>"
      "<li><b>使用教程</b>：打开您正在阅读的这份教程。</li>"
      "<li>右上角的<b>「联系客服」</b>可以打开在线客服页面。</li>"
      "</ul>"));
  guide.Figure({ModelListDialog(shots.models), QStringLiteral("模型列表：逐行下载其他大小的模型")},
               0.58);

  guide.Heading(QStringLiteral("6"), QStringLiteral("文件都在哪里"));
  guide.Text(
      QStringLiteral(
          "<p>下表中的「安装地址」指您在第 3 节选择的文件夹（默认 %1）。</p>"
          "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"5\">"
          "<tr><th width=\"38%\">位置</th><th>内容</th></tr>"
          "<tr><td><code>安装地址/deepseek</code></td>"
          "<td>解压后的安装包，运行器与客户端的安装程序在其中的 <code>deepseek</code> "
          "文件夹里</td></tr>"
          "<tr><td><code>安装地址/ollama_location</code></td><td>Ollama 运行器</td></tr>"
          "<tr><td><code>安装地址/ollama_models</code></td><td>下载的模型，以及没有下载完的部分。"
          "环境变量 <code>OLLAMA_MODELS</code> 指向这里，运行器据此找到模型</td></tr>"
          "<tr><td><code>安装地址/chatbox_location</code></td><td>Chatbox 聊天客户端</td></tr>"
          "<tr><td><code>%2</code></td>"
          "<td>安装包 deepseek.zip（留作下次安装）、本教程和运行器的日志 "
          "runner-server.log</td></tr>"
          "<tr><td><code>%3</code></td><td>%4</td></tr>"
          "</table><p></p>"
          "<p>模型文件可能很大。请不要单独移动、改名或删除 <code>ollama_models</code> 文件夹，"
          "否则运行器会找不到模型。</p>")
          .arg(kDefaultFolder, kWorkFolder, kSettingsPlace, kSettingsWhat));

  guide.Heading(QStringLiteral("7"), QStringLiteral("遇到提示怎么办"));
  guide.Note(QStringLiteral("「DeepSeek安装不存在，不能安装!」（标题：安装失败）"),
             QStringLiteral(
                 "<p><b>原因：</b>「安装地址」中的文件夹无法创建，例如所在的磁盘不存在、"
                 "U 盘已拔出，或当前用户没有写入权限。此时安装尚未开始，电脑上没有任何改动。</p>"
                 "<p><b>处理：</b>点击<b>「选择路径」</b>，换一个自己有权限、空间充足的文件夹"
                 "（例如个人文件夹下新建一个文件夹），然后重新点击安装。</p>"),
             alert);
  guide.Note(
      QStringLiteral("「网络不畅，关闭软件后重新打开即可!」（标题：提示）"),
      QStringLiteral("<p><b>原因：</b>下载完成后，运行器没有响应或找不到任何模型，"
                     "最常见的是模型下载因网络中断而没有完成。</p>"
                     "<p><b>处理：</b>确认网络正常后，关闭助手再重新打开，然后再次点击安装。"
                     "已经完成的部分会被保留：安装包不会重新下载，可以使用的运行器不会重新安装。"
                     "模型会从已经下载的部分接着下载，前提是这期间没有重新启动电脑："
                     "电脑重新启动后，运行器再次启动时通常会清除没有下载完的部分，"
                     "模型只能从头下载。</p>"),
      alert);
  guide.Note(
      QStringLiteral("其他情况"),
      QStringLiteral(
          "<ul>"
          "<li><b>安装按钮点击后又恢复原样：</b>安装包没有下载成功或被取消（例如关闭了进度窗口）。"
          "检查网络后再点一次即可。</li>"
          "<li><b>一直停在「正在下载模型」：</b>若进度长时间不动，关闭并重新打开助手，"
          "再点一次安装；已安装的模型会被自动识别，没有下载完的模型按上一条的说明继续。</li>"
          "<li><b>回答很慢：</b>模型对这台电脑可能偏大，可在完成页「下载其他模型」"
          "中换一个更小的型号。</li>"
          "<li>仍无法解决时，请点击右上角<b>「联系客服」</b>。</li>"
          "</ul>"),
      warn);
}

}  // namespace

QByteArray RenderGuidePdf(const GuideSources& sources, int* pageCount) {
  const GuideImages shots = LoadScreenshots(sources.screenshotsFolder);
  const QDir images(sources.imagesFolder);
  QSvgRenderer banner(images.filePath(QStringLiteral("banner.svg")));
  QSvgRenderer logo(images.filePath(QStringLiteral("logo.svg")));
  if (!shots.Complete() || !banner.isValid() || !logo.isValid()) return {};

  QByteArray pdf;
  QBuffer buffer(&pdf);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setTitle(QStringLiteral("DeepSeek 本地部署助手 安装教程"));
    writer.setCreator(QStringLiteral("Tidewell"));
    writer.setResolution(300);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    GuideComposer guide(writer, &logo, QStringLiteral("DeepSeek 本地部署助手"),
                        QStringLiteral("安装教程（必读）"));
    if (!guide.IsActive()) return {};
    DrawTitlePage(guide, banner, logo, shots, sources.version);
    guide.NewPage();
    WriteSections(guide, shots);
    if (pageCount != nullptr) *pageCount = guide.PageCount();
  }
  return pdf;
}
