#include <ui/layout_loader.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>
#include <QXmlStreamReader>

#include <map>

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

// The layout's own texts, as written in it, by widget name: the loader
// hands widgets their texts already passed through the translator, so a
// later change of language starts from the file.
struct LayoutTexts {
  std::map<QString, std::map<QString, QString>> properties;
  std::map<QString, QStringList> items;  // a list's entries, in order
};

LayoutTexts ReadLayoutTexts(QIODevice& file) {
  LayoutTexts texts;
  QXmlStreamReader xml(&file);
  QStringList elements;  // the open elements, outermost first
  QStringList widgets;
  QString property;
  int listItems = 0;  // open <item>s of a widget (a list's entries, not a layout's)
  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::StartElement) {
      const QString name = xml.name().toString();
      if (name == QLatin1String("widget")) {
        widgets.push_back(xml.attributes().value(QLatin1String("name")).toString());
      } else if (name == QLatin1String("item") && !elements.isEmpty() &&
                 elements.back() == QLatin1String("widget")) {
        ++listItems;
      } else if (name == QLatin1String("property")) {
        property = xml.attributes().value(QLatin1String("name")).toString();
      } else if (name == QLatin1String("string") && !widgets.isEmpty()) {
        const bool translatable =
            xml.attributes().value(QLatin1String("notr")) != QLatin1String("true");
        const QString text = xml.readElementText();  // consumes its end
        if (!translatable || text.isEmpty()) continue;
        if (listItems > 0) {
          texts.items[widgets.back()].push_back(text);
        } else {
          texts.properties[widgets.back()][property] = text;
        }
        continue;
      }
      elements.push_back(name);
    } else if (token == QXmlStreamReader::EndElement) {
      if (!elements.isEmpty()) elements.pop_back();
      if (xml.name() == QLatin1String("widget") && !widgets.isEmpty()) widgets.pop_back();
      if (xml.name() == QLatin1String("item") && !elements.isEmpty() &&
          elements.back() == QLatin1String("widget") && listItems > 0) {
        --listItems;
      }
    }
  }
  return texts;
}

// The translatable properties of a layout's widgets. A line edit's text is
// the person's, never translated.
constexpr const char* kTranslated[] = {"text", "toolTip", "placeholderText", "windowTitle"};

QByteArray SourceKey(const char* property) { return QByteArray("_tw_source_") + property; }
QByteArray ShownKey(const char* property) { return QByteArray("_tw_shown_") + property; }
constexpr char kItemSources[] = "_tw_source_items";

// Keeps each widget's texts from the file with it.
void KeepSources(QWidget* root, const LayoutTexts& texts) {
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  widgets.push_front(root);
  for (QWidget* widget : widgets) {
    const auto found = texts.properties.find(widget->objectName());
    if (found != texts.properties.end()) {
      for (const char* property : kTranslated) {
        const auto text = found->second.find(QString::fromLatin1(property));
        if (text != found->second.end()) widget->setProperty(SourceKey(property), text->second);
      }
    }
    const auto items = texts.items.find(widget->objectName());
    if (items != texts.items.end()) widget->setProperty(kItemSources, items->second);
  }
}

QString Translated(const QByteArray& context, const QVariant& source) {
  return QCoreApplication::translate(context.constData(), source.toString().toUtf8().constData());
}

void TranslateWidget(QWidget* widget, const QByteArray& context, bool first) {
  for (const char* property : kTranslated) {
    if (qstrcmp(property, "text") == 0 && qobject_cast<QLineEdit*>(widget) != nullptr) continue;
    const QVariant source = widget->property(SourceKey(property));
    if (!source.isValid()) continue;
    // Replaced by the program since: its owner shows it again.
    if (!first && widget->property(property) != widget->property(ShownKey(property))) continue;
    const QString shown = Translated(context, source);
    widget->setProperty(property, shown);
    widget->setProperty(ShownKey(property), shown);
  }
  if (auto* box = qobject_cast<QComboBox*>(widget)) {
    const QStringList sources = box->property(kItemSources).toStringList();
    for (int i = 0; i < sources.size() && i < box->count(); ++i) {
      box->setItemText(i, Translated(context, sources[i]));
    }
  }
}

void TranslateLayout(QWidget* root, bool first) {
  const QByteArray context = root->objectName().toUtf8();
  TranslateWidget(root, context, first);
  for (QWidget* widget : root->findChildren<QWidget*>()) TranslateWidget(widget, context, first);
}

}  // namespace

void RetranslateLayout(QWidget* root) {
  if (root != nullptr) TranslateLayout(root, false);
}

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
  if (root != nullptr) {
    ApplyItemData(root);
    QFile again(resource);
    if (again.open(QIODevice::ReadOnly)) KeepSources(root, ReadLayoutTexts(again));
    TranslateLayout(root, true);
  }
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
