// A failure at any allocation inside an export, of any kind (std::bad_alloc, std::logic_error,
// boost::bad_lexical_cast, a type not derived from std::exception), and during the client's
// first set-up: the export answers its failure (103) or succeeds, and nothing leaves it. This
// program replaces operator new so that the N-th allocation on the calling thread throws.
// The replacements below pair malloc with free; GCC, seeing them inlined, takes that for a
// mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <cstdlib>
#include <functional>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/api/api25.h"
#include "vexolib/api/operations.h"
#include "vexolib/session/Session.h"
#include <vexokit/vexokit.h>

namespace {

// Allocations left before the failing one; -1 is off.
thread_local long allocationsLeft = -1;
thread_local int failureKind = 0;
thread_local bool failed = false;

[[noreturn]] void raiseKind(int kind) {
  switch (kind) {
    case 1:
      throw std::logic_error("allocation refused");
    case 2:
      throw boost::bad_lexical_cast();
    case 3:
      throw 42;
    default:
      throw std::bad_alloc();
  }
}

}  // namespace

void* operator new(std::size_t size) {
  if (allocationsLeft >= 0) {
    if (allocationsLeft == 0) {
      allocationsLeft = -1;
      failed = true;
      raiseKind(failureKind);
    }
    --allocationsLeft;
  }
  if (void* p = std::malloc(size ? size : 1)) {
    return p;
  }
  throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return ::operator new(size); }

// The rest of the family, so that no allocation of this program is paired with a sanitizer
// runtime's own operator.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace vexotest {
namespace {

const int kindCount = 4;

class ExportAllocationTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    vexo::api25::resetInterfaceState();
  }
  void TearDown() override {
    allocationsLeft = -1;
    vexo::api25::resetInterfaceState();
    FrameworkTest::TearDown();
  }

  // Fails each allocation of `call` in turn, with each kind, until the call runs to its end
  // without reaching the failing one; every answer must be among `answers`, and a failure
  // answer must be the interface's status too.
  void sweep(const char* name, const std::function<void()>& before,
             const std::function<int()>& call, const std::set<int>& answers) {
    for (int kind = 0; kind < kindCount; ++kind) {
      for (long n = 0;; ++n) {
        before();
        failed = false;
        failureKind = kind;
        allocationsLeft = n;
        const int answer = call();
        allocationsLeft = -1;
        if (!failed) {
          EXPECT_GT(n, 0) << name << " allocated nothing";
          break;
        }
        ASSERT_TRUE(answers.count(answer))
            << name << ": allocation " << n << ", kind " << kind << " answered " << answer
            << " " << vexo25_getErrorMessage();
        if (answer != 0) {
          ASSERT_EQ(vexo::api25::getStatusCode(), answer) << name << ": allocation " << n;
        }
        ASSERT_LT(n, 100000) << name;
      }
    }
  }
};

TEST_F(ExportAllocationTest, EveryAllocationOfAnExportMayFailWithAnyKind) {
  const std::string folder = makeFolder("allocation");
  writeFile(folder + "/report.csv", "name,grade\nAda,A\n");
  const std::string file = folder + "/report.csv";
  const auto nothing = [] {};
  const auto connected = [] { ASSERT_EQ(vexo25_connect(), 0); };

  sweep("vexo25_overrideConfigOption", nothing,
        [] {
          vexo25_overrideConfigOption("urlprefix", "https://grades.example.invalid");
          return 0;
        },
        {0});
  sweep("vexo25_addFileUsingPath", [] { vexo25_resetFiles(); },
        [&] { return vexo25_addFileUsingPath("csv", file.c_str()); }, {0, 103});
  sweep("vexo25_connect", nothing, [] { return vexo25_connect(); }, {0, 103});
  sweep("vexo25_disconnect", connected, [] { return vexo25_disconnect(); }, {0, 103});
  sweep("vexo25_queueSyncDir", nothing,
        [&] { return vexo25_queueSyncDir(folder.c_str(), "k", "saveToServer", ""); },
        {0, 103});
  sweep("vexo25_performSync", [] { vexo::api25::adoptSession(nullptr); },
        [] { return vexo25_performSync(); }, {203, 103});
  sweep("vexo25_retrieveTaughtClassesInfo", nothing,
        [] { return vexo25_retrieveTaughtClassesInfo(); }, {203, 103});
  sweep("vexo25_getTraceLogDirectory", nothing,
        [] { return vexo25_getTraceLogDirectory() ? 0 : 103; }, {0, 103});
}

// The first export of a process sets the client up inside the same guard: a failure there is
// that export's 103, and the next call sets up again.
TEST(ExportAllocationFirstCallTest, AFailureWhileTheClientSetsItselfUpIsThatCalls103) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (int kind = 0; kind < kindCount; ++kind) {
    SCOPED_TRACE(kind);
    EXPECT_EXIT(
        {
          failureKind = kind;
          allocationsLeft = 0;
          const int first = vexo25_resetFiles();
          allocationsLeft = -1;
          const int status = vexo::api25::getStatusCode();
          const int second = vexo25_resetFiles();
          std::exit(failed && first == 103 && status == 103 && second == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
  }
}

}  // namespace
}  // namespace vexotest
