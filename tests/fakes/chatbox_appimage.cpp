#include <tests/fakes/chatbox_appimage.h>

#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <vector>

#include <platform/posix/file_util.h>

namespace fake_chatbox {

namespace fs = std::filesystem;

namespace {

constexpr const char* kAppRun =
    "#!/bin/sh\n"
    "# Starts the app that lies beside this script.\n"
    "HERE=\"$(dirname \"$(readlink -f \"$0\")\")\"\n"
    "exec \"$HERE/chatbox\" \"$@\"\n";

// Every AppImage carries a desktop entry at its top; the one the client's
// packager writes names the version.
constexpr const char* kDesktopEntry =
    "[Desktop Entry]\n"
    "Name=Chatbox\n"
    "Exec=AppRun --no-sandbox %U\n"
    "Terminal=false\n"
    "Type=Application\n"
    "Icon=xyz.chatboxapp.app\n"
    "StartupWMClass=Chatbox\n"
    "X-AppImage-Version=1.9.8\n"
    "Comment=A desktop client for multiple cutting-edge AI models\n"
    "Categories=Development;\n";

constexpr const char* kSandboxHelper =
    "#!/bin/sh\n"
    "# Stand-in for Chromium's setuid sandbox helper: never setuid here.\n"
    "exit 1\n";

bool EnvIsOne(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::string_view(value) == "1";
}

struct Entry {
  const char* name;
  std::string bytes;
  mode_t mode;
};

std::vector<Entry> Payload() {
  std::string self;
  platform::posix::ReadFileBytes("/proc/self/exe", &self);
  return {{"AppRun", kAppRun, 0755},
          {"chatbox", std::move(self), 0755},
          {"chrome-sandbox", kSandboxHelper, 0755},
          {"xyz.chatboxapp.app.desktop", kDesktopEntry, 0644}};
}

// Written beside its final name and renamed over it, so a link planted there
// is replaced, never followed.
bool WriteEntry(const fs::path& folder, const Entry& entry) {
  std::string temp = (folder / ("." + std::string(entry.name) + ".XXXXXX")).string();
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, entry.mode) == 0;
  std::size_t done = 0;
  while (ok && done < entry.bytes.size()) {
    const ssize_t n = ::write(fd, entry.bytes.data() + done, entry.bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), (folder / entry.name).c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

int Extract(int argc, char** argv) {
  const char* pattern = nullptr;
  if (argc == 3) {
    pattern = argv[2];
  } else if (argc != 2) {
    std::fprintf(stderr, "Unexpected argument count: %d\n", argc - 1);
    std::fprintf(stderr, "Usage: %s --appimage-extract [<prefix>]\n", argv[0]);
    return 1;
  }
  const fs::path root = "squashfs-root";
  struct stat info {};
  if (::mkdir(root.c_str(), 0700) != 0 &&
      (errno != EEXIST || ::lstat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
    std::fprintf(stderr, "mkdir_p error: %s\n", std::strerror(errno != 0 ? errno : EEXIST));
    return 1;
  }
  for (const Entry& entry : Payload()) {
    if (pattern != nullptr && ::fnmatch(pattern, entry.name, FNM_FILE_NAME) != 0) continue;
    std::fprintf(stderr, "%s\n", (root / entry.name).c_str());
    if (!WriteEntry(root, entry)) {
      std::perror("fopen error");
      return 1;
    }
  }
  return 0;
}

volatile sig_atomic_t g_unmount = 0;
void OnUnmount(int) { g_unmount = 1; }

// The mount helper: lives while the app holds the other end of the pipe (or
// until it is told to end), then takes the files away.
[[noreturn]] void HoldMount(const fs::path& mount, int keepalive) {
  ::setsid();
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null >= 0) {
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
  }
  struct sigaction action {};
  action.sa_handler = OnUnmount;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  char block[32];
  std::memset(block, 'x', sizeof block);
  while (g_unmount == 0 && ::write(keepalive, block, sizeof block) > 0) {
  }
  std::error_code ec;
  fs::remove_all(mount, ec);
  ::_exit(0);
}

int RunMounted(int argc, char** argv) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = fs::path(argv[0]).filename().string().substr(0, 6);
  std::string mount =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/.mount_" + base + "XXXXXX";
  if (::mkdtemp(mount.data()) == nullptr) {
    std::perror("create mount dir error");
    return 1;
  }
  for (const Entry& entry : Payload()) {
    if (!WriteEntry(mount, entry)) {
      std::perror("create mount dir error");
      return 1;
    }
  }
  int keepalive[2];
  if (::pipe(keepalive) != 0) {
    std::perror("pipe error");
    return 1;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("fork error");
    return 1;
  }
  if (child == 0) {
    ::close(keepalive[0]);
    if (::fork() == 0) HoldMount(mount, keepalive[1]);  // daemonised, as FUSE does
    ::_exit(0);
  }
  ::close(keepalive[1]);
  char c;
  (void)!::read(keepalive[0], &c, 1);  // mounted
  ::waitpid(child, nullptr, 0);
  char self[4096];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  self[length > 0 ? length : 0] = '\0';
  ::setenv("APPIMAGE", self, 1);
  ::setenv("ARGV0", argv[0], 1);
  ::setenv("APPDIR", mount.c_str(), 1);
  std::error_code ec;
  ::setenv("OWD", fs::current_path(ec).c_str(), 1);
  const std::string appRun = mount + "/AppRun";
  std::vector<char*> args(argv, argv + argc);
  args.push_back(nullptr);
  ::execv(appRun.c_str(), args.data());
  std::perror("execv error");
  return 1;
}

std::string ChromiumLogPrefix() {
  timeval now{};
  ::gettimeofday(&now, nullptr);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  char text[64];
  std::snprintf(text, sizeof text,
                "[%d:%02d%02d/%02d%02d%02d.%06ld:FATAL:", static_cast<int>(::getpid()),
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<long>(now.tv_usec));
  return text;
}

}  // namespace

bool IsAppImageName(const std::string& argv0) {
  const std::string name = fs::path(argv0).filename().string();
  const std::string suffix = ".AppImage";
  return name == "Chatbox" ||
         (name.size() > suffix.size() &&
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0);
}

int RunAppImage(int argc, char** argv) {
  // The runtime looks at the first "--" argument only.
  std::string option;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-' && argv[i][1] == '-') {
      option = argv[i] + 2;
      break;
    }
  }
  if (option == "appimage-extract") return Extract(argc, argv);
  if (option.rfind("appimage-", 0) == 0 && option != "appimage-mount") {
    std::fprintf(stderr, "--%s is not yet implemented in version %s\n", option.c_str(), "stand-in");
    return 1;
  }
  if (EnvIsOne("TIDEWELL_FAKE_NO_FUSE")) {
    std::fprintf(stderr,
                 "dlopen(): error loading libfuse.so.2\n\n"
                 "AppImages require FUSE to run. \n"
                 "You might still be able to extract the contents of this AppImage \n"
                 "if you run it with the --appimage-extract option. \n"
                 "See https://github.com/AppImage/AppImageKit/wiki/FUSE \n"
                 "for more information\n");
    return 1;
  }
  return RunMounted(argc, argv);
}

void EnforceSandbox(int argc, char** argv) {
  if (!EnvIsOne("TIDEWELL_FAKE_NO_USERNS")) return;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--no-sandbox") return;
  }
  char self[4096];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  self[length > 0 ? length : 0] = '\0';
  const fs::path helper = fs::path(self).parent_path() / "chrome-sandbox";
  std::error_code ec;
  if (fs::exists(helper, ec)) {
    std::fprintf(
        stderr,
        "%ssetuid_sandbox_host.cc(163)] The SUID sandbox helper binary was found, but is "
        "not configured correctly. Rather than run without sandboxing I'm aborting now. You "
        "need to make sure that %s is owned by root and has mode 4755.\n",
        ChromiumLogPrefix().c_str(), helper.c_str());
  } else {
    std::fprintf(
        stderr,
        "%szygote_host_impl_linux.cc(127)] No usable sandbox! If you are running on Ubuntu "
        "23.10+ or another Linux distro that has disabled unprivileged user namespaces with "
        "AppArmor, see https://chromium.googlesource.com/chromium/src/+/main/docs/security/"
        "apparmor-userns-restrictions.md. Otherwise see https://chromium.googlesource.com/"
        "chromium/src/+/main/docs/linux/suid_sandbox_development.md for more information on "
        "developing with the (older) SUID sandbox. If you want to live dangerously and need "
        "an immediate workaround, you can try using --no-sandbox.\n",
        ChromiumLogPrefix().c_str());
  }
  std::fflush(stderr);
  // Chromium's immediate crash is a breakpoint trap; no core file left behind.
  const rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  ::signal(SIGTRAP, SIG_DFL);
  ::raise(SIGTRAP);
  ::_exit(133);
}

}  // namespace fake_chatbox
