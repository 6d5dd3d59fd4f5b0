#include <ui/controls/skin_pool.h>

#include <QFile>
#include <QXmlStreamReader>

#include <ui/controls/control_attributes.h>
#include <ui/controls/skin_gif.h>

CSkinPool& CSkinPool::Instance() {
  static CSkinPool pool;
  return pool;
}

SSkinAni* CSkinPool::Find(const QString& name) const {
  const auto it = m_skins.find(name);
  return it == m_skins.end() ? nullptr : it->second.get();
}

void CSkinPool::Add(const QString& name, std::unique_ptr<SSkinAni> skin) {
  m_skins[name] = std::move(skin);
}

void CSkinPool::Remove(const QString& name) { m_skins.erase(name); }

std::unique_ptr<SSkinAni> CSkinPool::CreateSkin(const QString& className) {
  if (attr::Is(className, SSkinGif::kClassName)) return std::make_unique<SSkinGif>();
  return nullptr;
}

int CSkinPool::LoadDefinitions(const QString& resource) {
  QFile file(resource);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  QXmlStreamReader xml(&file);
  int added = 0;
  while (xml.readNextStartElement()) {
    if (xml.name() == QLatin1String("skins")) continue;  // descend into the list
    std::unique_ptr<SSkinAni> skin = CreateSkin(xml.name().toString());
    QString name;
    bool ok = skin != nullptr;
    for (const QXmlStreamAttribute& attribute : xml.attributes()) {
      if (attr::Is(attribute.name().toString(), "name")) {
        name = attribute.value().toString();
      } else if (ok) {
        ok = skin->SetAttribute(attribute.name().toString(), attribute.value().toString());
      }
    }
    if (ok && !name.isEmpty()) {
      Add(name, std::move(skin));
      ++added;
    }
    xml.skipCurrentElement();
  }
  return added;
}
