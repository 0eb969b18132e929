#include "lang/Texts.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>

#include "lang/Catalogue.h"

namespace lang {
namespace {

// Loaded catalogues stay until the process ends, so a text handed out by
// Tr() stays valid across a switch of language. Chinese has none.
std::mutex g_loading;
std::unique_ptr<Catalogue> g_catalogues[8];
std::atomic<const Catalogue*> g_inUse{nullptr};
std::atomic<Language> g_language{Language::Chinese};

std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string exe(path, static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

const Catalogue* CatalogueOf(Language language, std::string& error) {
  const auto index = static_cast<size_t>(language);
  static_assert(std::size(g_catalogues) >= 2);
  if (language == Language::Chinese || index >= std::size(g_catalogues)) return nullptr;
  std::lock_guard lock(g_loading);
  if (g_catalogues[index]) return g_catalogues[index].get();
  auto catalogue = std::make_unique<Catalogue>();
  const std::string path = CatalogueFolder() + "/" + Code(language) + "/LC_MESSAGES/korvelt-demo.mo";
  const std::string problem = catalogue->Load(path);
  if (!problem.empty()) {
    error = Fill(Tr("无法读取消息目录 {1}: {2}"), {path, Tr(problem)});
    return nullptr;
  }
  g_catalogues[index] = std::move(catalogue);
  return g_catalogues[index].get();
}

}  // namespace

std::string CatalogueFolder() {
  if (const char* folder = std::getenv("KORVELT_LOCALEDIR"); folder && *folder) return folder;
  return ProgramFolder() + "/../share/locale";
}

std::string Use(Language language) {
  std::string error;
  const Catalogue* catalogue = CatalogueOf(language, error);
  if (language != Language::Chinese && !catalogue) return error;
  g_inUse.store(catalogue, std::memory_order_release);
  g_language.store(language, std::memory_order_release);
  return {};
}

Language InUse() { return g_language.load(std::memory_order_acquire); }

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
  std::string error;
  const Catalogue* catalogue = CatalogueOf(language, error);
  const char* found = catalogue ? catalogue->Find(chinese) : nullptr;
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
