// Stands in for a vendor's setup program where only its command line
// matters: writes each argument it was given, then OLLAMA_MODELS, one per
// line in UTF-8, to the file TIDEWELL_SETUP_RECORD names. The arguments
// are the C runtime's split of the command line, which for the plain
// switches and folders we pass is what Inno Setup and NSIS read too.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.pop_back();  // the terminating zero
  return out;
}

std::wstring Variable(const wchar_t* name) {
  wchar_t value[4096] = L"";
  const DWORD length = ::GetEnvironmentVariableW(name, value, 4096);
  return length > 0 && length < 4096 ? std::wstring(value, length) : std::wstring();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring record = Variable(L"TIDEWELL_SETUP_RECORD");
  if (record.empty()) return 2;
  std::FILE* out = ::_wfopen(record.c_str(), L"wb");
  if (out == nullptr) return 1;
  for (int i = 1; i < argc; ++i) std::fprintf(out, "%s\n", Utf8(argv[i]).c_str());
  std::fprintf(out, "OLLAMA_MODELS=%s\n", Utf8(Variable(L"OLLAMA_MODELS").c_str()).c_str());
  return std::fclose(out) == 0 ? 0 : 1;
}
