#include <ui/layout_loader.h>

#include <QComboBox>
#include <QFile>
#include <QStringList>
#include <QWidget>

namespace {

// Designer layouts give list items a text only; an "itemData" property of
// comma-separated values supplies each item's data, as integers where they
// read as such.
void ApplyItemData(QWidget* root) {
  for (QComboBox* box : root->findChildren<QComboBox*>()) {
    const QStringList values =
        box->property("itemData").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; i < values.size() && i < box->count(); ++i) {
      bool isNumber = false;
      const int number = values[i].trimmed().toInt(&isNumber);
      box->setItemData(i, isNumber ? QVariant(number) : QVariant(values[i].trimmed()));
    }
  }
}

}  // namespace

CUiLoader::CUiLoader(QObject* parent) : QUiLoader(parent) {}

std::map<QString, CUiLoader::Factory>& CUiLoader::Registry() {
  static std::map<QString, Factory> registry;
  return registry;
}

void CUiLoader::RegisterControl(const QString& className, Factory factory) {
  Registry()[className] = std::move(factory);
}

bool CUiLoader::IsRegistered(const QString& className) { return Registry().count(className) != 0; }

QWidget* CUiLoader::LoadLayout(const QString& resource, QWidget* parent) {
  QFile file(resource);
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  QWidget* root = load(&file, parent);
  if (root != nullptr) ApplyItemData(root);
  return root;
}

QWidget* CUiLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
  const auto it = Registry().find(className);
  if (it != Registry().end()) {
    QWidget* widget = it->second(parent, name);
    if (widget != nullptr) {
      widget->setObjectName(name);
      return widget;
    }
  }
  return QUiLoader::createWidget(className, parent, name);
}
