#include "guide_words.h"

namespace {

GuideWords Chinese() {
  GuideWords w;
  w.screenshotSuffix = QString();
  w.bannerFile = QStringLiteral("banner.svg");
  w.documentTitle = QStringLiteral("DeepSeek 本地部署助手 安装教程");
  w.edition = {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Micro Hei Mono"),
               QStringLiteral("DeepSeek 本地部署助手"), QStringLiteral("安装教程（必读）"),
               QStringLiteral("第 %1 页"), QStringLiteral("图 %1　%2")};
  w.title = QStringLiteral("安装教程（必读）");
  w.subtitle = QStringLiteral("一次点击，在自己的电脑上用上 DeepSeek-R1：运行器、模型、聊天客户端");
  w.contentsHeading = QStringLiteral("本教程内容");
  w.readFirst = QStringLiteral("安装之前请先花五分钟读完本教程");
  w.chapters = {QStringLiteral("认识安装助手"),       QStringLiteral("选择模型"),
                QStringLiteral("选择安装位置"),       QStringLiteral("一键安装的四个阶段"),
                QStringLiteral("安装完成以后"),       QStringLiteral("文件都在哪里"),
                QStringLiteral("遇到提示怎么办")};

  w.about = QStringLiteral(
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
      "并让电脑保持开机，不要进入睡眠。</p>"
      "<p>右侧「发送使用统计」开关决定助手是否向服务器报告使用情况（事件名称、"
      "本机生成的设备标识、系统名称和版本），关闭后不再发送，随时可以改变。</p>");

  w.chooseModel = QStringLiteral(
      "<p>在窗口的<b>「下载模型」</b>下拉列表中选择模型大小。名称中的数字（1.5B、7B……）"
      "表示模型的参数规模：越大越聪明，但需要的内存、磁盘空间和下载时间也越多。"
      "选定后，右侧会显示<b>所需空间</b>、当前位置的<b>可用空间</b>和<b>硬件要求</b>，"
      "并说明本机的内存和显卡是否够用。</p>");
  w.modelTable = QStringLiteral(
      "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"5\">"
      "<tr><th>模型</th><th>下载大小</th><th>CPU</th><th>内存</th><th>显卡</th></tr>"
      "%1</table>");
  w.cores = QStringLiteral("%1核");
  w.notNeeded = QStringLiteral("非必须");
  w.howToChoose = {
      QStringLiteral("怎样选才合适"),
      QStringLiteral("<ul>"
                     "<li>第一次使用，推荐 <b>1.5B</b>：下载最快，普通笔记本电脑也能流畅运行。</li>"
                     "<li>内存是最重要的一项：请选择内存要求<b>不超过</b>本机内存的型号，"
                     "否则回答会非常慢，甚至无法运行。</li>"
                     "<li>没有独立显卡时模型用 CPU 运行，同样可用，只是速度慢一些。</li>"
                     "<li>安装位置的可用空间应比下载大小多出 <b>5 GB</b> 以上，"
                     "用来存放安装包、运行器和聊天客户端。</li>"
                     "</ul>")};
  w.installCaption = QStringLiteral("安装页：左侧选择模型和安装地址，右侧是空间与硬件要求");

  w.chooseFolder = QStringLiteral(
      "<p><b>「安装地址」</b>一栏是运行器、模型和聊天客户端的存放位置。可以直接输入，"
      "也可以点击<b>「选择路径」</b>在对话框中挑选文件夹，右侧的「可用空间」"
      "随之更新。请确认它大于所选模型的「所需空间」。</p>"
      "<ul>"
      "<li>请选择空间充足、自己有写入权限的位置，例如个人文件夹下的某个文件夹；"
      "不存在的文件夹会在安装时自动创建。</li>"
      "<li>模型文件较大，不建议放在 U 盘、移动硬盘或网络位置：拔出或断开后模型将无法使用。</li>"
      "<li>助手会记住这个位置，下次打开时自动填好。</li>"
      "<li>网络很慢或没有网络时，可以点击<b>「从本地安装包安装」</b>，"
      "选择事先下载好的安装包（.zip）；助手检查它完整无误后使用它，不再下载安装包。</li>"
      "</ul>");

  w.stagesIntro =
      QStringLiteral("<p>确认模型和位置后，点击蓝色的<b>「DeepSeek未安装，点击即可下载」</b>。"
                     "之后不需要任何操作，助手会依次完成四个阶段，当前阶段显示在同一位置：</p>");
  w.stagePackage = QStringLiteral(
      "<p><b>阶段一　下载安装包。</b>助手从服务器下载安装包并解压到安装位置，弹出的进度窗口"
      "显示百分比。关闭进度窗口会<b>取消</b>下载，安装按钮随即恢复，再点一次即可重新开始。"
      "已下载完整的安装包会保留，下次安装不再重复下载。</p>");
  w.packageCaption = QStringLiteral("阶段一：下载安装包");
  w.progressCaption = QStringLiteral("下载安装包时的进度窗口；关闭它即取消下载");
  w.stageRunner =
      QStringLiteral("<p><b>阶段二　安装运行器。</b>静默安装 Ollama 运行器，不会弹出其他安装窗口。"
                     "如果本机的运行器已经可以使用，这一步会自动跳过。</p>");
  w.runnerCaption = QStringLiteral("阶段二：安装运行器");
  w.stageModel = QStringLiteral(
      "<p><b>阶段三　下载模型。</b>这是最耗时的一步：1.5B 约 1 GB，更大的模型可达数十 GB。"
      "下载期间请耐心等待，不要关闭助手。万一中途关闭了，重新打开助手再点一次安装即可："
      "只要这期间没有重新启动电脑，模型会从已经下载的部分接着下载。</p>");
  w.modelCaption = QStringLiteral("阶段三：下载模型");
  w.stageClient = QStringLiteral(
      "<p><b>阶段四　安装聊天客户端并完成。</b>助手安装 Chatbox，把它设置为使用刚下载的模型，"
      "再确认模型已能被运行器找到，随后进入完成页（第 5 节）。</p>");
  w.duringInstall = {
      QStringLiteral("安装期间"),
      QStringLiteral("<p>整个过程没有时间限制，网速慢时只是需要更久。请不要在下载模型时"
                     "关闭窗口或让电脑睡眠；若长时间没有任何变化，请参阅第 7 节。</p>")};

  w.readyIntro = QStringLiteral(
      "<p>安装成功后显示完成页，窗口下方会显示已下载的模型，例如"
      "「已下载 deepseek-r1:1.5b」。以后再打开助手，它会发现已安装的模型，直接显示这一页。</p>");
  w.readyCaption = QStringLiteral("完成页：立即体验、下载其他模型、使用教程");
  w.readyActions = QStringLiteral(
      "<ul>"
      "<li><b>立即体验</b>：打开 Chatbox 聊天客户端（如尚未安装会先自动安装）。"
      "在输入框里提问即可，模型已经选好，无需设置。</li>"
      "<li><b>下载其他模型</b>：打开模型列表，每一行是一种大小，点击该行的<b>「下载」</b>即开始；"
      "下载期间该行显示「下载中，请耐心等待...」，完成后按钮变为不可点击。"
      "一次下载一个即可。</li>"
      "<li><b>使用教程</b>：打开您正在阅读的这份教程。</li>"
      "<li>右上角的<b>「管理」</b>列出已安装的各个部分和占用的空间：可以删除单个模型，"
      "<b>修复</b>缺失的部分，或者<b>全部卸载</b>。</li>"
      "<li>右上角的<b>「联系客服」</b>可以打开在线客服页面。</li>"
      "</ul>");
  w.modelsCaption = QStringLiteral("模型列表：逐行下载其他大小的模型");

  w.filesTable = QStringLiteral(
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
      "否则运行器会找不到模型；不再需要时，请用「管理」页删除模型或全部卸载。</p>");
#ifdef Q_OS_WIN
  w.defaultFolder = QStringLiteral("<code>C:\\AlTidewell</code>");
  w.settingsWhat = QStringLiteral("注册表中助手自己的设置：安装地址、运行器使用的端口等");
#else
  w.defaultFolder = QStringLiteral("是个人文件夹下的 <code>AlTidewell</code>");
  w.settingsWhat = QStringLiteral("助手自己的设置：安装地址、运行器使用的端口等");
#endif

  w.folderFailed = {
      QStringLiteral("「DeepSeek安装不存在，不能安装!」（标题：安装失败）"),
      QStringLiteral("<p><b>原因：</b>「安装地址」中的文件夹无法创建，例如所在的磁盘不存在、"
                     "U 盘已拔出，或当前用户没有写入权限。此时安装尚未开始，电脑上没有任何改动。</p>"
                     "<p><b>处理：</b>点击<b>「选择路径」</b>，换一个自己有权限、空间充足的文件夹"
                     "（例如个人文件夹下新建一个文件夹），然后重新点击安装。</p>")};
  w.networkFailed = {
      QStringLiteral("「网络不畅，关闭软件后重新打开即可!」（标题：提示）"),
      QStringLiteral("<p><b>原因：</b>下载完成后，运行器没有响应或找不到任何模型，"
                     "最常见的是模型下载因网络中断而没有完成。</p>"
                     "<p><b>处理：</b>确认网络正常后，关闭助手再重新打开，然后再次点击安装。"
                     "已经完成的部分会被保留：安装包不会重新下载，可以使用的运行器不会重新安装。"
                     "模型会从已经下载的部分接着下载，前提是这期间没有重新启动电脑："
                     "电脑重新启动后，运行器再次启动时通常会清除没有下载完的部分，"
                     "模型只能从头下载。</p>")};
  w.otherCases = {
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
          "</ul>")};
  return w;
}

}  // namespace

const GuideWords& ChineseGuideWords() {
  static const GuideWords words = Chinese();
  return words;
}
