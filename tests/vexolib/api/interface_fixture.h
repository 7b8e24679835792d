// GoogleTest fixture for the exported interface against the fake service's session page: the
// interface's state is that of a fresh process before and after every test, and its session
// page address is the fake service's.
#pragma once

#include <string>

#include "session_service_test.h"
#include "vexolib/api/operations.h"
#include <vexokit/vexokit.h>

namespace vexotest {

class InterfaceTest : public SessionServiceTest {
 protected:
  void SetUp() override {
    SessionServiceTest::SetUp();
    vexo::api25::resetInterfaceState();
    vexo25_overrideConfigOption("sessionurl", sessionUrl().c_str());
  }
  void TearDown() override {
    vexo::api25::resetInterfaceState();
    SessionServiceTest::TearDown();
  }

  // A returned text as a string; "(null)" for a null one.
  static std::string text(const char* returned) { return returned ? returned : "(null)"; }
  static std::string message() { return vexo25_getErrorMessage(); }

  static void logIn(const char* name, const char* password) {
    ASSERT_EQ(vexo25_connect(), 0) << message();
    ASSERT_EQ(vexo25_loginUsingPassword(name, password), 0) << message();
  }
};

}  // namespace vexotest
