#include "guide_words.h"

namespace {

// The English window's own words are quoted as it shows them.
GuideWords English() {
  GuideWords w;
  w.screenshotSuffix = QStringLiteral("_en");
  w.bannerFile = QStringLiteral("banner_en.svg");
  w.documentTitle = QStringLiteral("DeepSeek local setup assistant: installation guide");
  // The English window's font, which also has a true bold.
  w.edition = {QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Sans Mono"),
               QStringLiteral("DeepSeek local setup assistant"),
               QStringLiteral("Installation guide (read first)"), QStringLiteral("Page %1"),
               QStringLiteral("Figure %1  %2")};
  w.title = QStringLiteral("Installation guide");
  w.subtitle = QStringLiteral(
      "DeepSeek-R1 on your own computer in one click: runner, model and chat client");
  w.contentsHeading = QStringLiteral("In this guide");
  w.readFirst = QStringLiteral("Please take five minutes to read this guide before installing");
  w.chapters = {QStringLiteral("Meet the assistant"),
                QStringLiteral("Choosing a model"),
                QStringLiteral("Choosing the folder"),
                QStringLiteral("Installing in four stages"),
                QStringLiteral("After the installation"),
                QStringLiteral("Where the files are"),
                QStringLiteral("When a message appears")};

  w.about = QStringLiteral(
      "<p>DeepSeek-R1 is a large language model that understands and writes Chinese, English "
      "and many other languages. Once it is installed on your computer, questions and answers "
      "stay on it: you need no connection to use it, your data never leaves the machine, and "
      "the network's speed does not matter.</p>"
      "<p>Setting it up by hand means installing a runner, downloading a model, then installing "
      "and configuring a chat program: many steps, each easy to get wrong. The Tidewell "
      "assistant turns them into <b>one click</b>:</p>"
      "<ul>"
      "<li><b>The Ollama runner</b>: the program that loads and runs the model on this "
      "computer, working in the background;</li>"
      "<li><b>The DeepSeek-R1 model</b>: downloaded in the size you choose, kept in the folder "
      "you choose;</li>"
      "<li><b>The Chatbox chat client</b>: a window like a messaging program, already set to "
      "use the model just downloaded.</li>"
      "</ul>"
      "<p>The installation needs no administrator rights: everything goes into your own user "
      "account. While it runs, keep the computer online and awake.</p>"
      "<p>The <b>Usage stats</b> switch on the right decides whether the assistant reports its "
      "use to the server (event names, a device identifier made on this computer, the system's "
      "name and the version). Switched off, nothing is sent; you can change it at any time.</p>");

  w.chooseModel = QStringLiteral(
      "<p>Choose the model's size in the <b>Model</b> list. The number in its name (1.5B, "
      "7B, …) is the model's size in parameters: a larger model is smarter, but needs more "
      "memory, disk space and download time. Once chosen, the right side shows the space "
      "<b>Needed</b>, the space <b>Free</b> in the chosen folder and what the model "
      "<b>Needs</b>, and tells whether this computer's memory and graphics card are "
      "enough.</p>");
  w.modelTable = QStringLiteral(
      "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"5\">"
      "<tr><th>Model</th><th>Download</th><th>CPU</th><th>Memory</th><th>Graphics</th></tr>"
      "%1</table>");
  w.cores = QStringLiteral("%1 cores");
  w.notNeeded = QStringLiteral("optional");
  w.howToChoose = {
      QStringLiteral("Which one to choose"),
      QStringLiteral("<ul>"
                     "<li>For a first try, <b>1.5B</b>: the quickest download, and it runs "
                     "smoothly on an ordinary laptop.</li>"
                     "<li>Memory matters most: choose a size whose memory need is <b>no more</b> "
                     "than this computer's memory, or answers will be very slow, or not come at "
                     "all.</li>"
                     "<li>Without a graphics card the model runs on the CPU: it works just the "
                     "same, only slower.</li>"
                     "<li>The folder's free space should exceed the download size by <b>5 GB</b> "
                     "or more, for the package, the runner and the chat client.</li>"
                     "</ul>")};
  w.installCaption = QStringLiteral(
      "The install page: model and folder on the left, space and requirements on the right");

  w.chooseFolder = QStringLiteral(
      "<p>The <b>Folder</b> field is where the runner, the model and the chat client are "
      "kept. Type it, or click <b>Browse</b> to pick a folder in a dialog; the <b>Free</b> "
      "space on the right follows. Make sure it is larger than the space the model "
      "<b>Needed</b>.</p>"
      "<ul>"
      "<li>Choose a place with room to spare that you may write to, such as a folder in your "
      "home folder; a folder that does not exist yet is made during the installation.</li>"
      "<li>Models are large: a USB stick, an external disk or a network place is a poor "
      "choice, as the model cannot be used once it is unplugged or disconnected.</li>"
      "<li>The assistant remembers the folder and fills it in the next time.</li>"
      "<li>With a slow connection or none, click <b>Use a package file</b> and choose an "
      "install package (.zip) downloaded before: the assistant checks that it is whole and "
      "uses it instead of downloading one.</li>"
      "</ul>");

  w.stagesIntro = QStringLiteral(
      "<p>With the model and folder set, click the blue <b>DeepSeek is not installed: click to "
      "download</b>. Nothing more is asked of you: the assistant goes through four stages, "
      "each shown in the same place:</p>");
  w.stagePackage = QStringLiteral(
      "<p><b>Stage 1: the install package.</b> The assistant downloads the package from the "
      "server and unpacks it into the folder; a progress window shows the percentage. Closing "
      "that window <b>cancels</b> the download and brings the install button back: click it "
      "again to start over. A package downloaded whole is kept, so the next installation does "
      "not download it again.</p>");
  w.packageCaption = QStringLiteral("Stage 1: downloading the package");
  w.progressCaption = QStringLiteral(
      "The progress window while the package downloads; closing it cancels the download");
  w.stageRunner = QStringLiteral(
      "<p><b>Stage 2: the runner.</b> The Ollama runner is installed silently, with no other "
      "setup windows. When a runner on this computer already works, the stage is "
      "skipped.</p>");
  w.runnerCaption = QStringLiteral("Stage 2: installing the runner");
  w.stageModel = QStringLiteral(
      "<p><b>Stage 3: the model.</b> The longest stage: 1.5B is about 1 GB, the larger models "
      "tens of GB. Please be patient and keep the assistant open. Should it be closed, open it "
      "again and click install once more: unless the computer was restarted meanwhile, the "
      "model continues from the part already downloaded.</p>");
  w.modelCaption = QStringLiteral("Stage 3: downloading the model");
  w.stageClient = QStringLiteral(
      "<p><b>Stage 4: the chat client, and done.</b> The assistant installs Chatbox, sets it "
      "to use the model just downloaded, makes sure the runner finds the model, and shows the "
      "ready page (section 5).</p>");
  w.duringInstall = {
      QStringLiteral("While it installs"),
      QStringLiteral("<p>There is no time limit: a slow connection only takes longer. Do not "
                     "close the window or let the computer sleep while the model downloads; if "
                     "nothing changes for a long time, see section 7.</p>")};

  w.readyIntro = QStringLiteral(
      "<p>After a successful installation the ready page appears, naming the downloaded model "
      "at the bottom, such as <i>Downloaded deepseek-r1:1.5b</i>. When you open the assistant "
      "later, it finds the installed model and shows this page straight away.</p>");
  w.readyCaption = QStringLiteral("The ready page: Try it now, Other models, User guide");
  w.readyActions = QStringLiteral(
      "<ul>"
      "<li><b>Try it now</b> opens the Chatbox chat client (installing it first if it is "
      "missing). Type a question: the model is already chosen, there is nothing to set.</li>"
      "<li><b>Other models</b> opens the model list, one size per row; click a row's "
      "<b>Download</b> to start. While it downloads, the row shows <i>Downloading...</i>; "
      "once done, its button can no longer be clicked. One download at a time is enough.</li>"
      "<li><b>User guide</b> opens the guide you are reading.</li>"
      "<li><b>Manage</b> at the top right lists each installed part and the space it takes: "
      "remove a single model, <b>repair</b> what is missing, or <b>uninstall</b> "
      "everything.</li>"
      "<li><b>Support</b> at the top right opens the online support page.</li>"
      "</ul>");
  w.modelsCaption = QStringLiteral("The model list: download other sizes, row by row");

  w.filesTable = QStringLiteral(
      "<p>Below, <i>folder</i> is the folder you chose in section 3 (by default %1).</p>"
      "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"5\">"
      "<tr><th width=\"38%\">Place</th><th>What it holds</th></tr>"
      "<tr><td><code>folder/deepseek</code></td>"
      "<td>The unpacked install package; the runner's and client's setup programs are in its "
      "<code>deepseek</code> folder</td></tr>"
      "<tr><td><code>folder/ollama_location</code></td><td>The Ollama runner</td></tr>"
      "<tr><td><code>folder/ollama_models</code></td><td>The downloaded models, and the parts "
      "of unfinished downloads. The environment variable <code>OLLAMA_MODELS</code> points "
      "here, which is how the runner finds them</td></tr>"
      "<tr><td><code>folder/chatbox_location</code></td><td>The Chatbox chat client</td></tr>"
      "<tr><td><code>%2</code></td>"
      "<td>The package deepseek.zip (kept for the next installation), this guide and the "
      "runner's log runner-server.log</td></tr>"
      "<tr><td><code>%3</code></td><td>%4</td></tr>"
      "</table><p></p>"
      "<p>Models can be very large. Do not move, rename or delete the "
      "<code>ollama_models</code> folder by itself, or the runner will not find them; when "
      "you no longer need them, remove models or uninstall on the <b>Manage</b> page.</p>");
#ifdef Q_OS_WIN
  w.defaultFolder = QStringLiteral("<code>C:\\AlTidewell</code>");
  w.settingsWhat = QStringLiteral(
      "The assistant's own settings in the registry: the folder, the runner's port and so on");
#else
  w.defaultFolder = QStringLiteral("<code>AlTidewell</code> in your home folder");
  w.settingsWhat =
      QStringLiteral("The assistant's own settings: the folder, the runner's port and so on");
#endif

  w.folderFailed = {
      QStringLiteral("\"The DeepSeek install folder does not exist: cannot install!\" "
                     "(title: Installation failed)"),
      QStringLiteral("<p><b>Why:</b> the folder in <b>Folder</b> cannot be made: its disk "
                     "does not exist, the USB stick was unplugged, or your account may not "
                     "write there. The installation has not started; nothing on the computer "
                     "has changed.</p>"
                     "<p><b>What to do:</b> click <b>Browse</b>, choose a folder you may write "
                     "to with enough room (for example a new folder in your home folder), then "
                     "click install again.</p>")};
  w.networkFailed = {
      QStringLiteral("\"The network is not answering well: close the program and open it "
                     "again!\" (title: Note)"),
      QStringLiteral("<p><b>Why:</b> after the download, the runner did not answer or found no "
                     "model; most often the model's download was cut off by the network.</p>"
                     "<p><b>What to do:</b> once the network works, close the assistant, open "
                     "it again and click install. What was done is kept: the package is not "
                     "downloaded again, and a working runner is not installed again. The model "
                     "continues from the part already downloaded, provided the computer was not "
                     "restarted meanwhile: after a restart the runner usually clears unfinished "
                     "downloads when it starts, and the model starts from the beginning.</p>")};
  w.otherCases = {
      QStringLiteral("Other cases"),
      QStringLiteral(
          "<ul>"
          "<li><b>The install button comes back after a click:</b> the package was not "
          "downloaded or the download was cancelled (for example by closing the progress "
          "window). Check the network and click again.</li>"
          "<li><b>It stays at <i>Downloading the model</i>:</b> if the progress does not move "
          "for a long time, close and reopen the assistant and click install again; installed "
          "models are recognised, and an unfinished one continues as described above.</li>"
          "<li><b>Answers are slow:</b> the model may be too large for this computer; choose a "
          "smaller size under <b>Other models</b> on the ready page.</li>"
          "<li>If nothing helps, click <b>Support</b> at the top right.</li>"
          "</ul>")};
  return w;
}

}  // namespace

const GuideWords& EnglishGuideWords() {
  static const GuideWords words = English();
  return words;
}
