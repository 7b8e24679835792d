// The interface as a client sees it: the library exports exactly the names the public header
// declares, the link-check program takes the address of every one of them, and no test seam
// went into the shipped library.
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <boost/filesystem.hpp>
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

std::string commandOutput(const std::string& command) {
  std::string text;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    return text;
  }
  char chunk[4096];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
    text.append(chunk, n);
  }
  ::pclose(pipe);
  return text;
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

// Every symbol, local ones included, and every text of the shipped file: the seams' setters
// and the test build's seam sources (anything in seams/ but shipped_*.cpp) are absent.
TEST(ExportsListTest, TheShippedLibraryHoldsNoTestSeam) {
  const std::string library = VEXOKIT_LIBRARY;
  const std::string symbols = commandOutput("nm -C '" + library + "'");
  // Not stripped: the check below has the library's own names to look at.
  ASSERT_NE(symbols.find("vexo::platform::trace"), std::string::npos);
  const boost::regex seamSetter("vexo::(?:\\w+::)*\\w*detail::(set|reset|fail|throw)\\w*\\(");
  EXPECT_FALSE(boost::regex_search(symbols, seamSetter));
  for (const char* name : {"failWritesAfter", "failReadsAfter", "throwAtNextFileAccess",
                           "setNetworkConfigRoot", "setConnectTimeoutMillis", "setStallSeconds",
                           "curlGlobalUsers", "resetTracing", "resetConfigOptions",
                           "resetFolderCache"}) {
    EXPECT_EQ(symbols.find(name), std::string::npos) << name;
  }

  // The source names are in the debug information, when the build keeps it.
  std::set<std::string> texts;
  {
    std::istringstream lines(commandOutput("strings -a '" + library + "'"));
    for (std::string line; std::getline(lines, line);) {
      // A source's name alone or at the end of its path; "shipped_x.cpp" is not "x.cpp".
      const std::string::size_type slash = line.rfind('/');
      texts.insert(slash == std::string::npos ? line : line.substr(slash + 1));
    }
  }
  if (!texts.count("shipped_platform.cpp")) {
    return;
  }
  namespace fs = boost::filesystem;
  int seamSources = 0;
  for (fs::directory_iterator it(std::string(VEXO_TEST_SOURCE_ROOT) + "/src/vexolib/seams"), end;
       it != end; ++it) {
    const std::string name = it->path().filename().string();
    if (it->path().extension() == ".cpp" && name.rfind("shipped_", 0) != 0) {
      ++seamSources;
      EXPECT_FALSE(texts.count(name)) << name;
    }
  }
  EXPECT_GT(seamSources, 0);
}

// Every export defined in the library's sources, those to come included, runs in the one
// guard (export_guard.h) or forwards to an export that does, and says noexcept.
TEST(ExportsListTest, EveryExportRunsInTheOneGuard) {
  namespace fs = boost::filesystem;
  const boost::regex definition(
      "^[ \\t]*(?:int|void|const char\\*) (vexo2[15]_[\\w#]+)\\([^)]*\\)\\s*(noexcept)?\\s*\\{");
  const boost::regex forwarder("^\\s*return vexo2[15]_\\w+\\([^;]*\\);\\s*$");
  int definitions = 0;
  for (fs::recursive_directory_iterator it(std::string(VEXO_TEST_SOURCE_ROOT) + "/src/vexolib"),
       end;
       it != end; ++it) {
    if (it->path().extension() != ".cpp") {
      continue;
    }
    const std::string text = slurp(it->path().string());
    for (boost::sregex_iterator m(text.begin(), text.end(), definition), none; m != none; ++m) {
      ++definitions;
      const std::string name = (*m)[1].str();
      SCOPED_TRACE(it->path().filename().string() + ": " + name);
      EXPECT_TRUE((*m)[2].matched) << "not noexcept";
      // The body, up to its matching brace (macro lines end in backslashes).
      std::size_t at = static_cast<std::size_t>(m->position() + m->length());
      int depth = 1;
      std::string body;
      for (; at < text.size() && depth > 0; ++at) {
        depth += text[at] == '{' ? 1 : text[at] == '}' ? -1 : 0;
        if (depth > 0 && text[at] != '\\') {
          body += text[at];
        }
      }
      const bool guardedBody = body.find("guarded(") != std::string::npos ||
                               body.find("guarded<") != std::string::npos ||
                               body.find("guardedVoid(") != std::string::npos;
      EXPECT_TRUE(guardedBody || boost::regex_match(body, forwarder)) << body;
    }
  }
  // The table getters made by one macro each count once.
  EXPECT_GT(definitions, 50);
}

}  // namespace
}  // namespace vexotest
