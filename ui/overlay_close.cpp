#include <ui/overlay_close.h>

#include <QAbstractButton>
#include <QStackedWidget>

namespace {

constexpr int kInset = 10;  // from the dialog's top and right edges

void PlaceOnCurrentDialog(QStackedWidget* overlay, QAbstractButton* close) {
  QWidget* page = overlay->currentWidget();
  if (page == nullptr) return;
  for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!child->property("tipDialog").toBool()) continue;
    const QRect dialog(child->mapTo(overlay, QPoint(0, 0)), child->size());
    close->move(dialog.right() - kInset - close->width() + 1, dialog.top() + kInset);
    break;
  }
  close->raise();
}

}  // namespace

void ShareOverlayCloseButton(QWidget* root) {
  if (root == nullptr) return;
  auto* overlay = root->findChild<QStackedWidget*>(QStringLiteral("tab_Tip"));
  auto* close = root->findChild<QAbstractButton*>(QStringLiteral("btn_TipClose1"));
  if (overlay == nullptr || close == nullptr) return;
  if (close->parentWidget() != overlay) {
    close->setParent(overlay);
    close->show();  // hidden only while the overlay is
  }
  QObject::connect(overlay, &QStackedWidget::currentChanged, close,
                   [overlay, close] { PlaceOnCurrentDialog(overlay, close); });
  PlaceOnCurrentDialog(overlay, close);
}
