// GoogleTest fixture for tests that talk to the fake service: one service per test
// program, emptied before every test.
#pragma once

#include <memory>

#include "sandbox.h"
#include "service_fixture.h"

namespace vexotest {

class ServiceTest : public FrameworkTest {
 protected:
  static void SetUpTestSuite() {
    if (!service_) {
      service_.reset(new LorvexService());
    }
  }
  // The service lives until the program ends; every suite of the program shares it.
  void SetUp() override {
    FrameworkTest::SetUp();
    service_->clear();
  }
  static LorvexService& service() { return *service_; }

 private:
  static inline std::unique_ptr<LorvexService> service_;
};

}  // namespace vexotest
