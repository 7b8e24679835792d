// The interface as a client sees it: the library exports exactly the names the public header
// declares, and the link-check program takes the address of every one of them.
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <boost/regex.hpp>
#include <gtest/gtest.h>

namespace vexotest {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::string> matches(const std::string& text, const char* pattern) {
  std::set<std::string> names;
  const boost::regex re(pattern);
  for (boost::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
    names.insert((*it)[1].str());
  }
  return names;
}

std::set<std::string> exportedNames() {
  std::set<std::string> names;
  FILE* pipe = ::popen(("nm -D --defined-only '" + std::string(VEXOKIT_LIBRARY) + "'").c_str(),
                       "r");
  if (!pipe) {
    return names;
  }
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream fields(line);
    std::string address, kind, name;
    // Names come bound to the version node ("name@@VEXOKIT_1"); the node itself is skipped.
    if (fields >> address >> kind >> name && kind != "A") {
      names.insert(name.substr(0, name.find('@')));
    }
  }
  ::pclose(pipe);
  return names;
}

TEST(ExportsListTest, HeaderLibraryAndLinkCheckNameTheSameFunctions) {
  const std::set<std::string> exported = exportedNames();
  ASSERT_EQ(exported.size(), 143u);
  const std::string header =
      slurp(std::string(VEXO_TEST_SOURCE_ROOT) + "/include/vexokit/vexokit.h");
  EXPECT_EQ(matches(header, "VEXOKIT_API [^;]*?\\b(vexo2[15]_\\w+)\\("), exported);
  EXPECT_EQ(matches(slurp(VEXO_LINK_CHECK_SOURCE), "\\(Export\\)(vexo2[15]_\\w+)"), exported);
}

}  // namespace
}  // namespace vexotest
