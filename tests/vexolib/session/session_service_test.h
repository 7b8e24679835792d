// GoogleTest fixture for the session against the fake service with the session page's
// operations: one service per test program, emptied before every test; no proxy from the
// environment, so a session has the direct variant only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sandbox.h"
#include "service_fixture.h"
#include "vexolib/session/Session.h"

namespace vexotest {

class SessionServiceTest : public FrameworkTest {
 protected:
  static void SetUpTestSuite() {
    if (!service_) {
      service_.reset(new LorvexService(VEXO_SESSION_SERVICE_SCRIPT));
    }
  }
  void SetUp() override {
    FrameworkTest::SetUp();
    service_->clear();
    vexo::clearSidestepValues();
  }
  static LorvexService& service() { return *service_; }

  std::string sessionUrl() const { return service_->url("/DesktopSession.page"); }

  // A session of the client "marktally", connected to the session page.
  std::unique_ptr<vexo::Session> connected() {
    std::unique_ptr<vexo::Session> session(new vexo::Session());
    session->setClientAttribute("client", "marktally");
    session->connect(sessionUrl());
    return session;
  }

  std::unique_ptr<vexo::Session> loggedIn(const std::string& name, const std::string& password) {
    std::unique_ptr<vexo::Session> session = connected();
    if (session->loginUsingPassword(name, password) != 0) {
      throw std::runtime_error("login of " + name + " refused");
    }
    return session;
  }

  // The form fields of every POST to the session page, oldest first.
  std::vector<std::map<std::string, std::string>> sessionPosts() {
    std::vector<std::map<std::string, std::string>> posts;
    for (const RecordedRequest& r : service_->requests()) {
      if (r.method == "POST" && r.target.rfind("/DesktopSession.page", 0) == 0) {
        std::map<std::string, std::string> fields(r.fields.begin(), r.fields.end());
        posts.push_back(fields);
      }
    }
    return posts;
  }

  // The operation names of the session page's POSTs, in order.
  std::vector<std::string> operationsSent() {
    std::vector<std::string> types;
    for (const auto& post : sessionPosts()) {
      const auto it = post.find("req.0.type");
      types.push_back(it == post.end() ? "" : it->second);
    }
    return types;
  }

  // One scripted answer of the session page for the next request.
  static void scriptNext(int status, const std::string& body) {
    ScriptedAnswer answer;
    answer.status = status;
    answer.body = body;
    service_->script("/DesktopSession.page", {answer});
  }

 private:
  ScopedEnv noHttpProxy_{"http_proxy", nullptr};
  ScopedEnv noHttpsProxy_{"https_proxy", nullptr};
  ScopedEnv noHttpsProxyUpper_{"HTTPS_PROXY", nullptr};
  static inline std::unique_ptr<LorvexService> service_;
};

}  // namespace vexotest
