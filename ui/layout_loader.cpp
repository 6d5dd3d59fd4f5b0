#include <ui/layout_loader.h>

#include <QFile>
#include <QWidget>

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
  return load(&file, parent);
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
