// The desktop's files: the document type recognises a class by its name and, without
// the suffix, by its first bytes (read through Qt's freedesktop MIME database).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QMimeDatabase>
#include <filesystem>
#include <fstream>
#include <string>

#include "marktally/model/document.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "tests/shell/sample_class.h"

namespace {

TEST(DesktopFilesTest, TheDocumentTypeKnowsAClassByItsSuffixOrItsFirstBytes) {
  char pattern[] = "/tmp/marktally-mime-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(pattern));
  const std::string dir = pattern;
  std::filesystem::create_directories(dir + "/mime/packages");
  std::filesystem::copy_file(std::string(MT_SOURCE_DIR) + "/desktop/marktally-mime.xml",
                             dir + "/mime/packages/marktally.xml");
  // Only this package beside Qt's own copy of the shared database.
  setenv("XDG_DATA_DIRS", dir.c_str(), 1);
  setenv("XDG_DATA_HOME", (dir + "/home").c_str(), 1);

  NewClass();
  gCurrentTerm = gClass.currentTerm;
  sample::FillClass(5, 3);
  for (const char* name : {"Biology.mtb", "Biology", "Biology.bak"}) {
    gFileSpec.path = dir + "/" + name;
    ASSERT_TRUE(SaveDocument()) << name;
  }
  std::ofstream(dir + "/notes") << "Quiz 1: 20 points\n";
  std::ofstream(dir + "/short.mtb") << "x";

  QMimeDatabase db;
  const QString ours = QStringLiteral("application/x-marktally-gradebook");
  for (const char* name : {"Biology.mtb", "Biology", "Biology.bak", "short.mtb"}) {
    EXPECT_EQ(ours, db.mimeTypeForFile(QString::fromStdString(dir + "/" + name)).name()) << name;
  }
  EXPECT_NE(ours, db.mimeTypeForFile(QString::fromStdString(dir + "/notes")).name());
  std::filesystem::remove_all(dir);
}

}  // namespace
