#include "lang/Texts.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "lang/Catalogue.h"

namespace lang {
namespace {

// Loaded catalogues stay until the process ends, so a text handed out by
// Tr() stays valid across a switch of language.
std::mutex g_loading;
std::unique_ptr<Catalogue> g_english;
std::atomic<const Catalogue*> g_inUse{nullptr};

std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string exe(path, static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

const Catalogue* English(std::string& error) {
  std::lock_guard lock(g_loading);
  if (g_english) return g_english.get();
  auto catalogue = std::make_unique<Catalogue>();
  const std::string path = CatalogueFolder() + "/en/LC_MESSAGES/korvelt-demo.mo";
  const std::string problem = catalogue->Load(path);
  if (!problem.empty()) {
    error = Fill(Tr("无法读取英文消息目录 {1}: {2}"), {path, Tr(problem)});
    return nullptr;
  }
  g_english = std::move(catalogue);
  return g_english.get();
}

}  // namespace

std::string CatalogueFolder() {
  if (const char* folder = std::getenv("KORVELT_LOCALEDIR"); folder && *folder) return folder;
  return ProgramFolder() + "/../share/locale";
}

std::string Use(Language language) {
  if (language == Language::Chinese) {
    g_inUse.store(nullptr, std::memory_order_release);
    return {};
  }
  std::string error;
  const Catalogue* english = English(error);
  if (english) g_inUse.store(english, std::memory_order_release);
  return error;
}

Language InUse() {
  return g_inUse.load(std::memory_order_acquire) ? Language::English : Language::Chinese;
}

const char* Tr(const char* chinese) {
  const Catalogue* catalogue = g_inUse.load(std::memory_order_acquire);
  if (!catalogue || !chinese) return chinese;
  const char* found = catalogue->Find(chinese);
  return found ? found : chinese;
}

std::string_view Tr(std::string_view chinese) {
  const Catalogue* catalogue = g_inUse.load(std::memory_order_acquire);
  if (!catalogue) return chinese;
  const char* found = catalogue->Find(chinese);
  return found ? std::string_view(found) : chinese;
}

std::string_view In(Language language, std::string_view chinese) {
  if (language == Language::Chinese) return chinese;
  std::string error;
  const Catalogue* english = English(error);
  const char* found = english ? english->Find(chinese) : nullptr;
  return found ? std::string_view(found) : chinese;
}

std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(pattern.size() + 16 * values.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '{' && i + 1 < pattern.size() && pattern[i + 1] == '{') {
      out += '{';
      ++i;
    } else if (c == '{' && i + 2 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9' &&
               pattern[i + 2] == '}') {
      const size_t index = static_cast<size_t>(pattern[i + 1] - '1');
      if (index < values.size()) out += values.begin()[index];
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace lang
