// The program's controls, by the element names layouts use, and the skins
// they play.
#include <ui/controls/gif_player.h>
#include <ui/controls/image_controls.h>
#include <ui/controls/img_banner.h>
#include <ui/controls/skin_pool.h>
#include <ui/controls/static_ex.h>
#include <ui/layout_loader.h>

namespace {

template <class Control>
void Register() {
  CUiLoader::RegisterControl(
      QString::fromLatin1(Control::kClassName),
      [](QWidget* parent, const QString&) -> QWidget* { return new Control(parent); });
}

}  // namespace

void RegisterCustomControls() {
  // Once: players keep pointers to the pool's skins.
  static bool registered = false;
  if (registered) return;
  registered = true;
  Register<SGifPlayer>();
  Register<SStaticEx>();
  Register<SImgBanner>();
  Register<LoadImgWindow>();
  Register<LoadSImgBtn>();
  CSkinPool::Instance().LoadDefinitions(QStringLiteral(":/skins/skins.xml"));
}
