#pragma once
// Builds windows from the Designer layouts compiled into the resources. The
// program's own controls are created by class name through the factories
// registered at start-up.
#include <QUiLoader>

#include <functional>
#include <map>

class CUiLoader : public QUiLoader {
 public:
  using Factory = std::function<QWidget*(QWidget* parent, const QString& name)>;

  explicit CUiLoader(QObject* parent = nullptr);

  // Registration point for the custom controls, by the class name the
  // layouts use.
  static void RegisterControl(const QString& className, Factory factory);
  static bool IsRegistered(const QString& className);

  // Loads the layout resource into a new widget under parent; null on failure.
  // Its texts are shown in the current language; each widget keeps the
  // layout's own text so RetranslateLayout can show it in another.
  QWidget* LoadLayout(const QString& resource, QWidget* parent);

  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override;

 private:
  static std::map<QString, Factory>& Registry();
};

// Shows the layout's texts in the current language (context: the root's
// object name, as lupdate names a Designer form's). A text the program has
// replaced since is left to the program.
void RetranslateLayout(QWidget* root);

// Registers every custom control of the program with the loader and fills
// the skin pool with the program's skins (ui/controls/register_controls.cpp).
void RegisterCustomControls();
