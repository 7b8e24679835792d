// The one export guard: every kind of exception becomes a status and message, the exports
// hand back their usual failure answer, and nothing thrown deep inside an export of any
// family (patch, upload, session, synchronisation) leaves it. The throws come from the test
// build's file-access seam, so they start where a real failure would.
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include "interface_fixture.h"
#include "sandbox.h"
#include "vexolib/api/api25.h"
#include "vexolib/api/export_guard.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/seams/platform_detail.h"
#include <vexokit/vexokit.h>

namespace vexotest {
namespace {

namespace api = vexo::api25;
namespace detail = vexo::platform::detail;

struct Kind {
  const char* name;
  std::function<void()> raise;
  int status;
  std::string message;
};

std::vector<Kind> kinds() {
  return {
      {"VexoException", [] { throw vexo::VexoException(127, "disk full"); }, 127, "disk full"},
      {"std::logic_error", [] { throw std::logic_error("no session here"); }, 103,
       "no session here"},
      {"std::bad_alloc", [] { throw std::bad_alloc(); }, 103, std::bad_alloc().what()},
      {"boost::bad_lexical_cast", [] { throw boost::bad_lexical_cast(); }, 103,
       boost::bad_lexical_cast().what()},
      {"int", [] { throw 42; }, 103, "internal error"},
  };
}

class ExportGuardTest : public InterfaceTest {
 protected:
  void TearDown() override {
    detail::throwAtNextFileAccess(nullptr);
    InterfaceTest::TearDown();
  }
};

TEST_F(ExportGuardTest, EveryKindBecomesAStatusAndMessageAndTheFailureAnswer) {
  for (const Kind& kind : kinds()) {
    SCOPED_TRACE(kind.name);
    api::setStatus(0, "");
    EXPECT_EQ(api::guarded(-7, [&]() -> int {
                kind.raise();
                return 0;
              }),
              -7);
    EXPECT_EQ(api::getStatusCode(), kind.status);
    EXPECT_EQ(message(), kind.message);

    api::setStatus(0, "");
    EXPECT_EQ(api::guarded<const char*>(nullptr, [&]() -> const char* {
                kind.raise();
                return "x";
              }),
              nullptr);
    EXPECT_EQ(api::getStatusCode(), kind.status);

    api::setStatus(0, "");
    api::guardedVoid([&] { kind.raise(); });
    EXPECT_EQ(api::getStatusCode(), kind.status);
    EXPECT_EQ(message(), kind.message);
  }
}

TEST_F(ExportGuardTest, AThrowDeepInsideAnExportOfEachFamilyIsItsStatusNeverAnEscape) {
  const std::string folder = makeFolder("guard");
  writeFile(folder + "/old", "Term 1 grades.\n");
  writeFile(folder + "/patch", "not a patch at all, but read first");
  writeFile(folder + "/report.csv", "name,grade\nAda,A\n");
  const std::string tree = makeFolder("guard-tree");
  writeFile(tree + "/class.csv", "name,grade\nAda,A\n");

  struct Call {
    const char* name;
    std::function<int()> run;
  };
  const std::vector<Call> calls = {
      {"vexo25_applyPatchFile",
       [&] {
         return vexo25_applyPatchFile((folder + "/patch").c_str(), (folder + "/old").c_str(),
                                      (folder + "/new").c_str());
       }},
      {"vexo25_sendFiles",
       [&] {
         EXPECT_EQ(vexo25_addFileUsingPath("csv", (folder + "/report.csv").c_str()), 0);
         char buffer[256] = "left over";
         const int code = vexo25_sendFiles("c", "a", "1", nullptr, 0, buffer, sizeof buffer);
         EXPECT_EQ(std::string(buffer), code == 0 ? "" : message());
         return code;
       }},
      {"vexo25_performSync",
       [&] {
         EXPECT_EQ(vexo25_connect(), 0) << message();
         EXPECT_EQ(vexo25_queueSyncDir(tree.c_str(), "k", "saveToServer", ""), 0);
         return vexo25_performSync();
       }},
  };
  for (const Call& call : calls) {
    for (const Kind& kind : kinds()) {
      SCOPED_TRACE(std::string(call.name) + " with " + kind.name);
      bool thrown = false;
      detail::throwAtNextFileAccess([&] {
        thrown = true;
        kind.raise();
      });
      const int code = call.run();
      detail::throwAtNextFileAccess(nullptr);
      EXPECT_TRUE(thrown);
      EXPECT_EQ(code, kind.status);
      EXPECT_EQ(api::getStatusCode(), kind.status);
      if (std::string(kind.name) != "int") {  // its text is each frame's own
        EXPECT_NE(message().find(kind.message), std::string::npos) << message();
      }
      api::adoptSession(nullptr);
    }
  }
  // The session family: a login whose answer is kept in a file meets the throw there; one
  // that is not shows the guard leaves a good call alone.
  for (const Kind& kind : kinds()) {
    SCOPED_TRACE(std::string("vexo25_loginUsingPassword with ") + kind.name);
    ASSERT_EQ(vexo25_connect(), 0) << message();
    bool thrown = false;
    detail::throwAtNextFileAccess([&] {
      thrown = true;
      kind.raise();
    });
    const int code = vexo25_loginUsingPassword("teacher1", "apple-pie");
    detail::throwAtNextFileAccess(nullptr);
    if (thrown) {
      EXPECT_EQ(code, kind.status);
      EXPECT_EQ(vexo25_isConnected(), 0);
    } else {
      EXPECT_EQ(code, 0) << message();
    }
    api::adoptSession(nullptr);
  }
}

}  // namespace
}  // namespace vexotest
