// The patch plan reader: line cutting, the version line, every line kind with its pieces,
// CRC and flag pieces, and the paths and times it refuses before anything is done.
#include "vexolib/patch/PatchPlan.h"

#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include "vexolib/platform/VexoException.h"

namespace {

using vexo::PatchPlanEntry;
using vexo::readPatchPlan;
using Kind = PatchPlanEntry::Kind;

struct Failure {
  int code = 0;  // -1: a conversion error
  std::string message;
};

Failure failureOf(const std::string& text) {
  Failure failure;
  try {
    readPatchPlan(text);
  } catch (const vexo::VexoException& e) {
    failure.code = e.statusCode;
    failure.message = e.what();
  } catch (const boost::bad_lexical_cast& e) {
    failure.code = -1;
    failure.message = e.what();
  }
  return failure;
}

const char time1[] = "2021-03-04-0506-07";

TEST(PatchPlanTest, EveryLineKindIsReadIntoItsFields) {
  const std::string text =
      "version=1.1\n"
      "dir|bin|2021-03-04-0506-07|ignored|pieces\n"
      "copyfile|bin/tool|2021-03-04-0506-07|old tool|4294967295|YES\n"
      "createfile|docs/read me.txt|2021-03-04-0506-07|0|data/readme.txt\n"
      "patchfile|lib/core.so|17|2021-03-04-0506-07|lib/core.so|18|patches/core|19|0\n";
  const std::vector<PatchPlanEntry> entries = readPatchPlan(text);
  ASSERT_EQ(entries.size(), 4u);

  EXPECT_EQ(entries[0].kind, Kind::dir);
  EXPECT_EQ(entries[0].target, "bin");
  EXPECT_EQ(entries[0].time, time1);

  EXPECT_EQ(entries[1].kind, Kind::copyFile);
  EXPECT_EQ(entries[1].target, "bin/tool");
  EXPECT_EQ(entries[1].source, "old tool");
  EXPECT_EQ(entries[1].crc, 4294967295u);
  EXPECT_TRUE(entries[1].executable);

  EXPECT_EQ(entries[2].kind, Kind::createFile);
  EXPECT_EQ(entries[2].target, "docs/read me.txt");
  EXPECT_EQ(entries[2].patchFile, "data/readme.txt");
  EXPECT_EQ(entries[2].crc, 0u);
  EXPECT_FALSE(entries[2].executable);

  EXPECT_EQ(entries[3].kind, Kind::patchFile);
  EXPECT_EQ(entries[3].target, "lib/core.so");
  EXPECT_EQ(entries[3].time, time1);
  EXPECT_EQ(entries[3].source, "lib/core.so");
  EXPECT_EQ(entries[3].patchFile, "patches/core");
  EXPECT_EQ(entries[3].crc, 17u);
  EXPECT_EQ(entries[3].sourceCrc, 18u);
  EXPECT_EQ(entries[3].patchCrc, 19u);
  EXPECT_FALSE(entries[3].executable);
  EXPECT_EQ(entries[3].line,
            "patchfile|lib/core.so|17|2021-03-04-0506-07|lib/core.so|18|patches/core|19|0");
}

TEST(PatchPlanTest, LineEndsAndBlankLinesChangeNothing) {
  const std::string lines[] = {"version=1.0", "dir|a|2021-03-04-0506-07",
                               "dir||b|||2021-03-04-0506-07|"};
  for (const std::string end : {"\n", "\r\n", "\r", "\n\n\r\n"}) {
    SCOPED_TRACE(testing::PrintToString(end));
    const std::string text = end + lines[0] + end + lines[1] + end + end + lines[2];
    const std::vector<PatchPlanEntry> entries = readPatchPlan(text);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].target, "b");
    EXPECT_EQ(entries[1].time, time1);
  }
  EXPECT_TRUE(readPatchPlan("version=1.1").empty());
}

TEST(PatchPlanTest, ExecutablePieces) {
  const struct {
    const char* piece;
    bool executable;
  } rows[] = {{"yes", true}, {"Yes", true}, {"TRUE", true}, {"1", true},   {"7", true},
              {"-2", true},  {" yes ", true}, {"no", false}, {"0", false}, {"false", false},
              {"maybe", false}, {"x1", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.piece);
    const std::vector<PatchPlanEntry> entries = readPatchPlan(
        std::string("version=1.0\ncreatefile|t|x|1|d|") + row.piece + "\n");
    EXPECT_EQ(entries.at(0).executable, row.executable);
  }
}

TEST(PatchPlanTest, MalformedPlansFailAtTheirFirstBadLine) {
  const std::string v = "version=1.0\n";
  const std::string copy = "copyfile|t|" + std::string(time1) + "|s|";
  const struct {
    std::string text;
    int code;
    std::string message;
  } rows[] = {
      {"", 126, "First line of patch plan lacks valid version string."},
      {"\n\r\n\n", 126, "First line of patch plan lacks valid version string."},
      {"version=1.0 \n", 126, "First line of patch plan lacks valid version string."},
      {"Version=1.0\n", 126, "First line of patch plan lacks valid version string."},
      {"\xEF\xBB\xBFversion=1.0\n", 126, "First line of patch plan lacks valid version string."},
      {"version=1.2\n", 126, "First line of patch plan lacks valid version string."},
      {"dir|a|t\nversion=1.0\n", 126, "First line of patch plan lacks valid version string."},
      {v + "|||\n", 126, "Invalid patch plan line: |||"},
      {v + "Dir|a|t\n", 103, "Invalid patch plan entry: Dir|a|t"},
      {v + "symlink|a|b\n", 103, "Invalid patch plan entry: symlink|a|b"},
      {v + "dir|a\n", 126, "Patch plan 'dir' line missing pieces: dir|a"},
      {v + "copyfile|t||s|1\n", 126,
       "Patch plan 'copyfile' line has the wrong number of pieces: copyfile|t||s|1"},
      {v + copy + "1|yes|extra\n", 126,
       "Patch plan 'copyfile' line has the wrong number of pieces: " + copy + "1|yes|extra"},
      {v + "createfile|t|x|1\n", 126,
       "Patch plan 'createfile' line has the wrong number of pieces: createfile|t|x|1"},
      {v + "patchfile|t|1|x|s|2|p\n", 126,
       "Patch plan 'patchfile' line has the wrong number of pieces: patchfile|t|1|x|s|2|p"},
      {v + copy + "4294967296\n", 103, "Invalid CRC string '4294967296' in copyfile to target: t"},
      {v + copy + "12a\n", 103, "Invalid CRC string '12a' in copyfile to target: t"},
      {v + copy + "12 \n", 103, "Invalid CRC string '12 ' in copyfile to target: t"},
      {v + copy + " 12\n", 103, "Invalid CRC string ' 12' in copyfile to target: t"},
      {v + copy + "-1\n", 103, "Invalid CRC string '-1' in copyfile to target: t"},
      {v + copy + "+1\n", 103, "Invalid CRC string '+1' in copyfile to target: t"},
      {v + "createfile|t|x|0x10|d\n", 103, "Invalid CRC string: 0x10"},
      {v + "patchfile|t|a|x|s|b|p|c\n", 103, "Invalid target CRC string: a"},
      {v + "patchfile|t|1|x|s|b|p|c\n", 103, "Invalid source CRC string: b"},
      {v + "patchfile|t|1|x|s|2|p|c\n", 103, "Invalid patchCRC string: c"},
      // The first bad line decides, whatever follows.
      {v + "dir|a|t\nDIR|b|t\n|\n", 103, "Invalid patch plan entry: DIR|b|t"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.text));
    const Failure failure = failureOf(row.text);
    EXPECT_EQ(failure.code, row.code);
    EXPECT_EQ(failure.message, row.message);
  }
}

TEST(PatchPlanTest, PathsOutsideTheirFolderAreRefused) {
  const std::string t = time1;
  const std::string lines[] = {
      "dir|/etc|" + t,
      "dir|..|" + t,
      "dir|a/../../b|" + t,
      "dir|a/..|" + t,
      "dir|.|" + t,
      "dir|./|" + t,
      "copyfile|/tmp/x|" + t + "|s|1",
      "copyfile|t|" + t + "|../s|1",
      "copyfile|t|" + t + "|s/../../../etc/passwd|1",
      "createfile|t|" + t + "|1|/etc/passwd",
      "createfile|t|" + t + "|1|../outside",
      "createfile|../t|" + t + "|1|d",
      "patchfile|t|1|" + t + "|s|2|../p|3",
      "patchfile|t|1|" + t + "|/s|2|p|3",
      "patchfile|sub/../..|1|" + t + "|s|2|p|3",
  };
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    const Failure failure = failureOf("version=1.0\n" + line + "\n");
    EXPECT_EQ(failure.code, 126);
    EXPECT_EQ(failure.message, "Unsafe path in patch plan line: " + line);
  }
  // A NUL would cut the name short where the system reads it.
  EXPECT_EQ(failureOf("version=1.0\n" + std::string("dir|a\0b|", 8) + t).code, 126);
  // Names that only look odd stay allowed.
  const std::vector<PatchPlanEntry> entries =
      readPatchPlan("version=1.0\ndir|./a//b/.|" + t + "\ndir|..a|" + t + "\ndir|a..|" + t);
  EXPECT_EQ(entries.size(), 3u);
}

TEST(PatchPlanTest, TimesAreCheckedBeforeAnythingIsDone) {
  // A date alone leaves the time alone later, and more than five numbers ignore the rest.
  EXPECT_EQ(readPatchPlan("version=1.0\ndir|a|2021-03-04\n").at(0).time, "2021-03-04");
  EXPECT_EQ(readPatchPlan("version=1.0\ndir|a|2021-03-04-0506-07-x\n").size(), 1u);
  const Failure failure = failureOf("version=1.0\ndir|a|" + std::string(time1) +
                                    "\ncopyfile|t|2021-03-x4-0506-07|s|1\n");
  EXPECT_EQ(failure.code, -1);
  EXPECT_EQ(failure.message,
            "bad lexical cast: source type value could not be interpreted as target");
}

}  // namespace
