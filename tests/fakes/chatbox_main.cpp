// The stand-in for the Chatbox client (installed as `Chatbox`): reads the
// model and host from Chatbox's settings file, says them on one line, and
// stays running until it is ended (SIGTERM).
#include <unistd.h>

#include <cstdio>

#include <tests/fakes/chatbox_config.h>
#ifdef TIDEWELL_FAKE_CHATBOX_WINDOW
#include <tests/fakes/chatbox_window.h>
#endif

int main(int argc, char** argv) {
  const fake_chatbox::ChatTarget target =
      fake_chatbox::ReadChatTarget(fake_chatbox::SettingsFile());
  std::printf("%s\n", fake_chatbox::DescribeTarget(target).c_str());
  std::fflush(stdout);
#ifdef TIDEWELL_FAKE_CHATBOX_WINDOW
  if (fake_chatbox::RunWindow(argc, argv, target)) return 0;
#else
  (void)argc;
  (void)argv;
#endif
  for (;;) ::pause();
}
