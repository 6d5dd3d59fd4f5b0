// The main window's layout: every element the window and the engine address
// by name is there, of the right kind, with its texts, sizes and first
// visibility.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>

#include <catalogue/model_catalogue.h>
#include <ui/controls/gif_player.h>
#include <ui/controls/image_controls.h>
#include <ui/controls/skin_ani.h>
#include <ui/controls/static_ex.h>
#include <ui/main_dlg.h>
#include <ui/qt_notify_center.h>

namespace {

QString Q(std::wstring_view text) {
  return QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
}

class LayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Create());
    window_.show();
  }

  // The one element of that name and class.
  template <class T>
  T* Get(const QString& name) {
    const QList<QWidget*> all = window_.findChildren<QWidget*>(name);
    EXPECT_EQ(all.size(), 1) << name.toStdString();
    T* found = window_.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
  }
  QString LabelText(const QString& name) {
    auto* label = Get<QLabel>(name);
    return label != nullptr ? label->text() : QString();
  }
  QRect InWindow(QWidget* w) { return QRect(w->mapTo(&window_, QPoint(0, 0)), w->size()); }

  CQtNotifyCenter center_;
  Action::CActionFactory factory_;
  CMainDlg window_;
};

TEST_F(LayoutTest, FrameCaptionAndBanner) {
  EXPECT_EQ(window_.objectName(), "mainWindow");
  EXPECT_EQ(window_.size(), QSize(818, 618));
  EXPECT_EQ(window_.windowTitle(), "Tidewell");
  auto* pages = Get<QStackedWidget>("tab_pages");
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(InWindow(pages), QRect(9, 9, 800, 600));  // the 9-pixel margin
  auto* caption = Get<QWidget>("captionBar");
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->height(), 50);
  EXPECT_EQ(LabelText("captionTitle"), "Tidewell");
  auto* close = Get<QAbstractButton>("btn_close");
  ASSERT_NE(close, nullptr);
  EXPECT_TRUE(caption->isAncestorOf(close));
  EXPECT_NE(Get<LoadImgWindow>("img_logo"), nullptr);
  auto* banner = Get<LoadImgWindow>("img_banner");
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(banner->size(), QSize(800, 241));
  EXPECT_FALSE(banner->Image().isEmpty());
  EXPECT_NE(Get<LoadSImgBtn>("btnkefu"), nullptr);
  // 管理 sits left of customer service, both clear of the close button.
  auto* manage = Get<LoadSImgBtn>("btnManage");
  ASSERT_NE(manage, nullptr);
  EXPECT_EQ(manage->text(), "管理");
  EXPECT_TRUE(caption->isAncestorOf(manage));
  EXPECT_LT(manage->geometry().right(), Get<QWidget>("btnkefu")->geometry().left());
  EXPECT_LT(Get<QWidget>("btnkefu")->geometry().right(), close->geometry().left());
  EXPECT_EQ(LabelText("introLine1"),
            QStringLiteral("DeepSeek是一款具有强大的自然语言处理能力的在线大模型。"
                           "通过本工具软件实现本地化部署后，无需编程基础，"));
  EXPECT_EQ(LabelText("introLine2"),
            QStringLiteral("即可充分利用个人电脑的强大算力，获得数据隐私保护，避免网络速度限制，"
                           "获得更加流畅、高效的AI使用体验。"));
  EXPECT_EQ(pages->currentIndex(), 0);
}

TEST_F(LayoutTest, InstallFormListsTheSevenModelsWithTheirNumbers) {
  auto* models = Get<QComboBox>("cbx_Model");
  ASSERT_NE(models, nullptr);
  EXPECT_FALSE(models->isEditable());
  ASSERT_EQ(models->count(), kModelCount);
  for (const ModelEntry& entry : ModelCatalogue()) {
    EXPECT_EQ(models->itemText(entry.listIndex), Q(entry.listItemText));
    EXPECT_EQ(models->itemData(entry.listIndex), QVariant(entry.row));
  }
  EXPECT_EQ(models->currentIndex(), 0);
  EXPECT_EQ(LabelText("lblModel"), "下载模型:");
  EXPECT_EQ(LabelText("lblPath"), "安装地址:");
  EXPECT_NE(Get<QLineEdit>("InstPath"), nullptr);
  auto* pick = Get<QPushButton>("btnSelDir");
  ASSERT_NE(pick, nullptr);
  EXPECT_EQ(pick->text(), "选择路径");
  EXPECT_EQ(LabelText("lblNeedSpace"), "所需空间:");
  EXPECT_EQ(LabelText("lblFreeSpace"), "可用空间:");
  EXPECT_EQ(LabelText("lblHardware"), "硬件要求:");
  EXPECT_NE(Get<QLabel>("useSpace2"), nullptr);
  EXPECT_EQ(LabelText("useSpace"), "98.05G");
  EXPECT_NE(Get<SStaticEx>("wareInfotxt"), nullptr);
  EXPECT_NE(Get<SStaticEx>("wareInfotxt2"), nullptr);
  EXPECT_NE(Get<SStaticEx>("memInfoTxt"), nullptr);
  EXPECT_NE(Get<SStaticEx>("stageProgressTxt"), nullptr);
  auto* inner = Get<QStackedWidget>("tab_pages2");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->count(), 2);
  EXPECT_EQ(inner->currentIndex(), 0);
}

TEST_F(LayoutTest, FourAnimatedStageImagesInOnePlaceOnlyTheFirstShown) {
  const char* const stages[] = {"imgNoDownDeekSeek", "imgDownDeekSeek", "imgInstDeekSeek",
                                "imgDownModeling"};
  QRect place;
  for (const char* name : stages) {
    auto* player = Get<SGifPlayer>(name);
    ASSERT_NE(player, nullptr);
    if (place.isNull()) place = player->geometry();
    EXPECT_EQ(player->geometry(), place) << name;
    EXPECT_EQ(player->isVisible(), player->objectName() == "imgNoDownDeekSeek") << name;
    // The committed animations decode, with their own pace.
    ASSERT_NE(player->Skin(), nullptr) << name;
    EXPECT_GT(player->Skin()->FrameCount(), 1) << name;
    EXPECT_EQ(player->Skin()->FrameDelay(0), 8) << name;
    EXPECT_EQ(player->sizeHint(), place.size()) << name;
  }
  EXPECT_EQ(Get<SGifPlayer>("imgNoDownDeekSeek")->Text(),
            QStringLiteral("DeepSeek未安装，点击即可下载"));
  EXPECT_TRUE(Get<SGifPlayer>("imgNoDownDeekSeek")->IsOnTimeline());
  EXPECT_FALSE(Get<SGifPlayer>("imgDownDeekSeek")->IsOnTimeline());
}

TEST_F(LayoutTest, FinishedPage) {
  EXPECT_NE(Get<LoadSImgBtn>("imgOnceTiYan"), nullptr);
  auto* more = Get<LoadSImgBtn>("imgDownOtherModel");
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(more->text(), "下载其他模型");
  EXPECT_NE(Get<QLabel>("modelstrTxt"), nullptr);
  EXPECT_NE(Get<LoadSImgBtn>("imgUserTutorial"), nullptr);
}

TEST_F(LayoutTest, OverlayProgressPage) {
  auto* overlay = Get<QStackedWidget>("tab_Tip");
  ASSERT_NE(overlay, nullptr);
  EXPECT_FALSE(overlay->isVisible());
  EXPECT_EQ(InWindow(overlay), QRect(9, 9, 800, 600));
  ASSERT_EQ(overlay->count(), 3);  // progress, model list, manage
  EXPECT_EQ(overlay->currentIndex(), 0);
  auto* dialog = Get<QWidget>("tipDlgProgress");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->size(), QSize(540, 235));
  EXPECT_TRUE(overlay->widget(0)->isAncestorOf(dialog));
  EXPECT_NE(Get<QLabel>("progTxt"), nullptr);
  EXPECT_EQ(LabelText("progTxtValue"), "(0 %)");
  EXPECT_NE(Get<QLabel>("progDetailTxt"), nullptr);
  auto* bar = Get<QProgressBar>("prog_value");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
}

TEST_F(LayoutTest, OverlayModelListRows) {
  auto* overlay = Get<QStackedWidget>("tab_Tip");
  auto* dialog = Get<QWidget>("tipDlgModels");
  ASSERT_NE(overlay, nullptr);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->size(), QSize(688, 534));
  EXPECT_TRUE(overlay->widget(1)->isAncestorOf(dialog));
  EXPECT_EQ(LabelText("modelsTitle"), "请选择下载模型");
  auto* scroll = Get<QScrollArea>("quest_scrollView");
  ASSERT_NE(scroll, nullptr);
  int previousBottom = -1;
  for (const ModelEntry& entry : ModelCatalogue()) {
    const QString n = QString::number(entry.row);
    auto* row = Get<QWidget>("ai_win" + n);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(scroll->widget()->isAncestorOf(row));
    EXPECT_EQ(row->height(), 80);
    if (previousBottom >= 0) {
      EXPECT_EQ(row->y() - previousBottom, 10) << n.toStdString();
    }
    previousBottom = row->y() + row->height();
    QString name = Q(entry.listItemText);
    name.remove(QStringLiteral(" (推荐)"));
    EXPECT_EQ(LabelText("ai_name" + n), name);
    EXPECT_EQ(LabelText("ai_req" + n), Q(entry.requirementText).replace("显示", "显卡"));
    EXPECT_EQ(LabelText("ai_date" + n), "更新时间：2025-02-14");
    auto* download = Get<QPushButton>("adked_btn" + n);
    auto* busy = Get<QLabel>("winProgress" + n);
    auto* value = Get<QLabel>("progress_value" + n);
    auto* bar = Get<QProgressBar>("prog_value" + n);
    ASSERT_TRUE(download && busy && value && bar);
    EXPECT_EQ(download->text(), "下载");
    EXPECT_EQ(busy->text(), "下载中，请耐心等待...");
    EXPECT_TRUE(busy->isHidden());
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(busy->isAncestorOf(value));
    EXPECT_TRUE(busy->isAncestorOf(bar));
    EXPECT_TRUE(row->isAncestorOf(download));
    EXPECT_TRUE(busy->geometry().intersects(download->geometry()));  // one place, two states
  }
  EXPECT_EQ(LabelText("ai_name1"), "DeepSeek - R1 - 1.5B");
  EXPECT_EQ(LabelText("ai_req2"), "大小 4.70GB | CPU 4核 | 内存 24GB+ | 显卡 非必须");
}

TEST_F(LayoutTest, OneOverlayCloseButtonFollowsTheShowingDialog) {
  auto* overlay = Get<QStackedWidget>("tab_Tip");
  auto* close = Get<QAbstractButton>("btn_TipClose1");
  ASSERT_TRUE(overlay && close);
  EXPECT_EQ(close->parentWidget(), overlay);
  EXPECT_FALSE(close->isVisible());  // out of reach while the overlay is hidden
  overlay->show();
  EXPECT_TRUE(close->isVisible());
  const auto topRightOf = [&](const char* name) {
    const QRect dialog = InWindow(Get<QWidget>(name));
    const QRect button = InWindow(close);
    return dialog.contains(button) && dialog.right() - button.right() < 20 &&
           button.top() - dialog.top() < 20;
  };
  EXPECT_TRUE(topRightOf("tipDlgProgress"));
  overlay->setCurrentIndex(1);
  EXPECT_TRUE(topRightOf("tipDlgModels"));
  overlay->setCurrentIndex(2);
  EXPECT_TRUE(topRightOf("tipDlgManage"));
  overlay->setCurrentIndex(0);
  EXPECT_TRUE(topRightOf("tipDlgProgress"));
  overlay->hide();
  EXPECT_FALSE(close->isVisible());
}

}  // namespace
