// Shared set-up for the tests of the text export and import: a fresh class in a
// temporary folder, the options as the program starts with them, files written and read
// back, and Python's csv module as the outside reader of what the export wrote.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "marktally/model/fileutil.h"
#include "marktally/model/tables.h"
#include "marktally/reports/export_buffer.h"
#include "marktally/reports/text_export.h"
#include "marktally/reports/text_import.h"
// The Mac Roman table: in common/ where model and toolbox share it, else the toolbox's.
#if __has_include("marktally/common/macroman.h")
#include "marktally/common/macroman.h"
#else
#include "marktally/toolbox/macroman.h"
#endif
#include "tests/model/model_fixture.h"

using Table = std::vector<std::vector<std::string>>;

class ExchangeTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    char pattern[] = "/tmp/mt-exchange-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    SetFlushToDisk(false);
    ResetExportOptions();
    ResetImportOptions();
    gEmailReport = 0;
    gEmailBufferLength = 0;
  }
  void TearDown() override {
    SetFileFaultsForTesting(nullptr);
    SetFlushToDisk(true);
    ResetExportOptions();
    ResetImportOptions();
    gEmailReport = 0;
    std::filesystem::remove_all(dir_);
    ModelTest::TearDown();
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
  }

  // Exports the class into the file; answers what it holds then.
  std::string Export(const std::string& name, const ExportScope& scope = ExportScope{}) {
    const FileSpec spec{Path(name)};
    ExportClass(spec, scope);
    return Slurp(spec.path);
  }

  // Imports bytes from a file of that name.
  void Import(const std::string& bytes, const std::string& name = "import.txt") {
    Spit(Path(name), bytes);
    ImportClass(FileSpec{Path(name)});
  }

  // The rows Python's csv module reads from a file (UTF-8 unless told), as UTF-8.
  static Table ReadWithPython(const std::string& path, const char* kind,
                              const char* encoding = "utf-8") {
    const std::string command = "python3 " + std::string(SourceDir()) +
                                "/csv_readback.py '" + path + "' " + kind + " " + encoding;
    Table table;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return table;
    std::string out;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
      std::vector<std::string> row;
      std::istringstream fields(line);
      std::string field;
      while (fields >> field) {
        std::string bytes;
        for (size_t i = 1; i + 1 < field.size(); i += 2)
          bytes.push_back(static_cast<char>(std::stoi(field.substr(i, 2), nullptr, 16)));
        row.push_back(bytes);
      }
      table.push_back(row);
    }
    return table;
  }
  static const char* SourceDir() { return MT_REPORTS_TEST_DIR; }

  // Mac Roman to UTF-8, for comparing with what Python reads.
  static std::string U(const std::string& macRoman) { return MacRomanToUtf8(macRoman); }

 private:
  std::string dir_;
};
