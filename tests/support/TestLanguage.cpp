// Every test program reads Chinese, the language of a bare system, whatever
// the developer's own locale says, and so do the programs it starts; a test
// of English finds the catalogue this build made (the test programs sit
// deeper in the tree than the tool's own).
#include <cstdlib>
#include <initializer_list>

namespace {

const bool g_chinese = [] {
  setenv("LANG", "C.UTF-8", 1);
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"}) unsetenv(name);
  setenv("KORVELT_LOCALEDIR", KORVELT_TEST_LOCALEDIR, 1);
  return true;
}();

}  // namespace
