#include "vexolib/platform/VexoException.h"

#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/platform/platform.h"

namespace {

namespace platform = vexo::platform;
using vexo::VexoException;
using vexotest::FrameworkTest;

class ExceptionTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    platform::setTraceLogDirectory(vexotest::makeFolder("exception-trace"));
  }
  std::size_t traceFileSize() {
    const auto names = vexotest::listFolder(platform::getTraceLogDirectory());
    return names.empty() ? 0
                         : vexotest::readFile(platform::getTraceLogDirectory() + "/" +
                                              names.front())
                               .size();
  }
};

TEST_F(ExceptionTest, TextForm) {
  const std::pair<VexoException, std::string> cases[] = {
      {VexoException(103, "Undefined transfer library"),
       "VexoException: status code = 103; what = 'Undefined transfer library'"},
      {VexoException(), "VexoException: status code = -1; what = ''"},
      {VexoException(105, "it's 'quoted'"),
       "VexoException: status code = 105; what = 'it's 'quoted''"},
      {VexoException(-42, ""), "VexoException: status code = -42; what = ''"},
      {VexoException(0, "ok"), "VexoException: status code = 0; what = 'ok'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<std::string>(c.first), c.second);
  }
}

TEST_F(ExceptionTest, DefaultHasNoCodeAndNoMessage) {
  const VexoException e;
  EXPECT_EQ(e.statusCode, -1);
  EXPECT_STREQ(e.what(), "");
}

TEST_F(ExceptionTest, ConstructionTracesItsTextForm) {
  const VexoException e(116, "disk full");
  ASSERT_FALSE(platform::accessLogTable().empty());
  const std::string& text = platform::accessLogTable().back().text;
  EXPECT_NE(text.find(": constructing VexoException: VexoException: status code = 116; "
                      "what = 'disk full'"),
            std::string::npos)
      << text;
  EXPECT_GT(traceFileSize(), 0u);
}

TEST_F(ExceptionTest, CopyAndAssignKeepCodeAndMessageAndTraceNothing) {
  const VexoException original(105, "first");
  const std::size_t entries = platform::accessLogTable().size();
  const std::size_t bytes = traceFileSize();

  const VexoException copy(original);
  VexoException assigned;
  assigned = copy;
  EXPECT_EQ(copy.statusCode, 105);
  EXPECT_STREQ(copy.what(), "first");
  EXPECT_EQ(assigned.statusCode, 105);
  EXPECT_STREQ(assigned.what(), "first");
  EXPECT_EQ(platform::accessLogTable().size(), entries);
  EXPECT_EQ(traceFileSize(), bytes);
}

TEST_F(ExceptionTest, NothingIsTracedWhileTracingIsOff) {
  platform::setTracingEnabled(false);
  const VexoException e(103, "quiet");
  EXPECT_TRUE(platform::accessLogTable().empty());
  EXPECT_TRUE(vexotest::listFolder(platform::getTraceLogDirectory()).empty());
}

TEST_F(ExceptionTest, CaughtAsStandardException) {
  try {
    throw VexoException(201, "Failed to connect to x");
  } catch (const std::exception& e) {
    const auto* ve = dynamic_cast<const VexoException*>(&e);
    ASSERT_NE(ve, nullptr);
    EXPECT_EQ(ve->statusCode, 201);
    EXPECT_EQ(platform::getExceptionMessage(e),
              "VexoException: status code = 201; what = 'Failed to connect to x'");
  }
  const std::runtime_error plain("boom");
  EXPECT_EQ(platform::getExceptionMessage(plain),
            std::string("Exception (") + typeid(plain).name() + "): boom");
}

}  // namespace
