#include <config/usage_reports.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include <config/product_values.h>

namespace {

// -1: not read yet; 0 off; 1 on. Kept in the process because an uninstall
// removes the key store while the window stays open: the user's "off" must
// hold until the program ends, not fall back to the default.
std::atomic<int> g_switch{-1};

bool EqualsIgnoringCase(const char* text, const char* word) {
  for (; *text != '\0' && *word != '\0'; ++text, ++word) {
    if (std::tolower(static_cast<unsigned char>(*text)) != *word) return false;
  }
  return *text == '\0' && *word == '\0';
}

}  // namespace

bool DoNotTrackAsked(const char* doNotTrack) {
  if (doNotTrack == nullptr || *doNotTrack == '\0') return false;
  return std::strcmp(doNotTrack, "0") != 0 && !EqualsIgnoringCase(doNotTrack, "false");
}

bool UsageReportsAllowed(std::optional<bool> remembered, const char* doNotTrack) {
  if (DoNotTrackAsked(doNotTrack)) return false;
  return remembered.value_or(true);
}

bool DoNotTrackAsked() { return DoNotTrackAsked(std::getenv("DO_NOT_TRACK")); }

bool UsageReportsSwitch() {
  int known = g_switch.load();
  if (known >= 0) return known == 1;
  const std::optional<std::wstring> stored = ReadProductValue(kUsageReportsValueName);
  // Only a "1" keeps a value that is there on: a value edited into anything
  // else is taken as a wish not to be reported on.
  const int read = !stored || *stored == L"1" ? 1 : 0;
  // A switch set meanwhile wins over what was read before it.
  g_switch.compare_exchange_strong(known, read);
  return g_switch.load() == 1;
}

bool UsageReportsAllowed() {
  return UsageReportsAllowed(UsageReportsSwitch(), std::getenv("DO_NOT_TRACK"));
}

bool SetUsageReportsSwitch(bool on) {
  g_switch.store(on ? 1 : 0);
  return WriteProductValue(kUsageReportsValueName, on ? L"1" : L"0");
}

bool UsageNoticeShown() { return ReadProductValue(kUsageNoticeShownValueName) == L"1"; }

bool MarkUsageNoticeShown() { return WriteProductValue(kUsageNoticeShownValueName, L"1"); }

void ForgetUsageReportsSwitchForTesting() { g_switch.store(-1); }
