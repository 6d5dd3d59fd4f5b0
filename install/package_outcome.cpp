#include <install/package_outcome.h>

#include <install/owned_files.h>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <install/space_text.h>
#include <package/package_unpack.h>

namespace {

std::wstring Bytes(std::uint64_t bytes) { return FormatFreeSpace(bytes); }

// A download that failed at every address says so first: the user need not
// wonder whether another one would have helped.
std::wstring Everywhere(const PackageOutcome& o, const std::wstring& text) {
  if (o.locations < 2) return text;
  return FormatWString(TW_TR("PackageOutcome", "%d 个下载地址都试过了：%ls").c_str(), o.locations,
                       text.c_str());
}

}  // namespace

std::wstring ConfigFaultText(ConfigFetch config, long status) {
  switch (config) {
    case ConfigFetch::NoAnswer:
      return TW_TR("PackageOutcome", "连接不上服务器，请检查网络连接后再点击一次。");
    case ConfigFetch::BadStatus:
      return FormatWString(
          TW_TR("PackageOutcome", "服务器暂时出错（错误 %ld），请过几分钟再点击一次。").c_str(),
          status);
    case ConfigFetch::NotJson:
      return TW_TR("PackageOutcome", "服务器返回的内容无法识别，请过几分钟再点击一次。");
    case ConfigFetch::Applied:
      break;
  }
  return TW_TR("PackageOutcome", "服务器没有提供安装包，请稍后再试；如果一直这样，请联系客服。");
}

std::wstring PackageFaultText(const PackageOutcome& o) {
  switch (o.fault) {
    case PackageFault::None:
      return std::wstring();
    case PackageFault::NoConfig:
      return ConfigFaultText(o.config, o.status);
    case PackageFault::Cancelled:
      return TW_TR("PackageOutcome", "已取消安装，随时可以再次点击安装。");
    case PackageFault::DownloadBroke:
      if (o.totalBytes > 0) {
        return Everywhere(
            o, FormatWString(TW_TR("PackageOutcome",
                                   "安装包下载中断（已下载 %ls，共 %ls），请检查网络后再点击安装。")
                                 .c_str(),
                             Bytes(static_cast<std::uint64_t>(o.doneBytes)).c_str(),
                             Bytes(static_cast<std::uint64_t>(o.totalBytes)).c_str()));
      }
      return Everywhere(
          o, FormatWString(
                 TW_TR("PackageOutcome", "安装包下载中断（已下载 %ls），请检查网络后再点击安装。")
                     .c_str(),
                 Bytes(static_cast<std::uint64_t>(o.doneBytes)).c_str()));
    case PackageFault::DownloadFailed:
      return Everywhere(
          o, TW_TR("PackageOutcome",
                   "服务器没有给出安装包，请过几分钟再点击安装；如果一直这样，请联系客服。"));
    case PackageFault::Damaged:
      return TW_TR("PackageOutcome", "安装包已损坏，已删除，请再次点击安装重新下载。");
    case PackageFault::NoSpace:
      return FormatWString(
          TW_TR("PackageOutcome",
                "磁盘空间不足：需要 %ls，只剩 %ls。请清理磁盘或换个安装位置后再安装。")
              .c_str(),
          Bytes(o.neededBytes).c_str(), Bytes(o.freeBytes).c_str());
    case PackageFault::NotOurs:
      return ForeignFolderText(o.installFolder, o.foreignName);
    case PackageFault::FolderNotWritable:
      return TW_TR("PackageOutcome", "安装位置无法写入，请换一个安装位置后再点击安装。");
    case PackageFault::SaveFailed:
      return TW_TR("PackageOutcome",
                   "安装包无法保存到本机的用户数据文件夹，请检查它的权限后再点击安装。");
    case PackageFault::Internal:
      return TW_TR("PackageOutcome", "安装时程序出错，请再次点击安装；如果仍然不行，请联系客服。");
    case PackageFault::LocalUnreadable:
      return TW_TR("PackageOutcome", "所选的安装包无法读取（文件不存在或没有权限），请重新选择。");
    case PackageFault::LocalNotZip:
      return TW_TR("PackageOutcome", "所选文件不是 zip 格式的安装包，请重新选择。");
    case PackageFault::LocalDamaged:
      return TW_TR("PackageOutcome", "所选的安装包已损坏，无法完整解压，请换一个安装包。");
    case PackageFault::LocalNoSetup:
      return TW_TR("PackageOutcome", "所选的安装包里缺少安装程序，不是本软件的安装包，请换一个。");
    case PackageFault::LocalMismatch:
      return TW_TR("PackageOutcome",
                   "所选的安装包与服务器公布的版本不一致（校验值不符），请换一个或改为在线下载。");
  }
  return std::wstring();
}

PackageOutcome FaultOutcome(PackageFault fault) {
  PackageOutcome outcome;
  outcome.fault = fault;
  return outcome;
}

PackageOutcome UnpackOutcome(const UnpackResult& unpacked, PackageFault archiveFault) {
  switch (unpacked.fault) {
    case UnpackFault::None:
      break;
    case UnpackFault::Cancelled:
      return FaultOutcome(PackageFault::Cancelled);
    case UnpackFault::Archive:
      return FaultOutcome(archiveFault);
    case UnpackFault::Folder:
      return FaultOutcome(PackageFault::FolderNotWritable);
    case UnpackFault::NoSpace: {
      PackageOutcome outcome = FaultOutcome(PackageFault::NoSpace);
      outcome.neededBytes = unpacked.neededBytes;
      outcome.freeBytes = unpacked.freeBytes;
      return outcome;
    }
  }
  return {};
}
