#pragma once
// One client per settings folder, as Electron's single-instance lock: the
// first start holds a lock file and listens on a socket beside it; a later
// start finds the lock held, passes its command line to the first one (which
// then brings its window forward) and quits.
//
// Here both live in the settings folder (private to the user, 0700 when we
// create it): SingletonLock (flock) and SingletonSocket (a Unix stream
// socket). On Windows the lock is a named mutex of the session and the
// command line goes through a named pipe, both named from the folder.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fake_chatbox {

class SingleInstance {
 public:
  enum class Claim { First, Second, Failed };

  // First: *self holds the lock and listens. Second: another process holds
  // it; `args` were handed to it (when it could be reached).
  static Claim Take(const std::filesystem::path& folder, const std::vector<std::string>& args,
                    std::unique_ptr<SingleInstance>* self);

  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Waits for the next later start and returns its command line; nullopt
  // when listening has ended (Close) or cannot go on.
  std::optional<std::vector<std::string>> NextStart();

  // Ends listening; a NextStart waiting in another thread returns.
  void Close();

 private:
  struct Parts;  // the system's own handles
  explicit SingleInstance(std::unique_ptr<Parts> parts);
  std::unique_ptr<Parts> parts_;
};

}  // namespace fake_chatbox
