#pragma once
// The guide's prose in one language. The layout (guide_content) is shared:
// each edition gives the same sections, notes and captions in its words,
// and names the pictures of the window in that language.
#include <QString>
#include <QStringList>

struct GuideNote {
  QString title;
  QString html;
};

// What every page of one language's edition shares: its fonts (the text's
// and the code's), what the header and footer say, the figures' numbering.
struct GuideEdition {
  QString fontFamily;
  QString codeFontFamily;
  QString headerLeft;
  QString headerRight;
  QString pageNumber;    // %1: the page's number
  QString figureNumber;  // %1: the figure's number, %2: its caption
};

struct GuideWords {
  // Pictures: the window's screenshots end in this ("" or "_en"), and the
  // title page shows this banner.
  QString screenshotSuffix;
  QString bannerFile;

  QString documentTitle;  // the PDF's title field
  GuideEdition edition;
  QString title;
  QString subtitle;
  QString contentsHeading;
  QString readFirst;     // the title page's footer
  QStringList chapters;  // the seven section titles, in order

  // 1 What the assistant does.
  QString about;
  // 2 Choosing a model: %1 is the table's rows.
  QString chooseModel;
  QString modelTable;
  QString cores;      // %1: the number of processor cores
  QString notNeeded;  // a graphics card is optional
  GuideNote howToChoose;
  QString installCaption;
  // 3 Choosing the folder.
  QString chooseFolder;
  // 4 The four stages.
  QString stagesIntro;
  QString stagePackage;
  QString packageCaption;
  QString progressCaption;
  QString stageRunner;
  QString runnerCaption;
  QString stageModel;
  QString modelCaption;
  QString stageClient;
  GuideNote duringInstall;
  // 5 After the installation.
  QString readyIntro;
  QString readyCaption;
  QString readyActions;
  QString modelsCaption;
  // 6 Where the files are: %1 the default folder, %2 the work folder, %3
  // where the settings are kept, %4 what they are.
  QString filesTable;
  QString defaultFolder;
  QString settingsWhat;
  // 7 Messages and what to do.
  GuideNote folderFailed;
  GuideNote networkFailed;
  GuideNote otherCases;
};

const GuideWords& ChineseGuideWords();
const GuideWords& EnglishGuideWords();
