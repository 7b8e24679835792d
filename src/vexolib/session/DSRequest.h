// The operations the session asks of the service, one class each: a request writes its named
// values under the prefix its caller gives ("req.<i>."), reads its answer under another
// ("resp.<i>."), turns the server's return code into a number and names the request that must
// follow it.
#pragma once

#include <memory>
#include <string>

#include <boost/optional.hpp>

namespace vexo {

class NVPSet;
class Session;

// The number of a return-code name; 300 ("systemError") for any name not in the table, the
// empty one and other letter cases included.
int getRetCodeForString(const std::string& name);

class DSRequest {
 public:
  DSRequest(Session& session, const std::string& type);
  virtual ~DSRequest();
  DSRequest(const DSRequest&) = delete;
  DSRequest& operator=(const DSRequest&) = delete;

  virtual int getRetCode() const;
  virtual std::string getUserVisibleMessage() const;
  // prefix + "type"; subclasses add their keys after it.
  virtual void setRequestNVPs(NVPSet& request, const std::string& prefix);
  // prefix + "retcode" (required; std::logic_error "'<name>' not found" when absent) and
  // prefix + "userVisibleMessage" (empty when absent).
  virtual void processResponseNVPs(const NVPSet& response, const std::string& prefix);
  // A fresh NoopRequest on the same session.
  virtual std::shared_ptr<DSRequest> getFollowUpRequest();

  // The return code as the server sent it.
  std::string getRetCodeString() const;

 protected:
  std::string type;
  std::string retcode;
  std::string userVisibleMessage;
  Session& session;
};

class NoopRequest : public DSRequest {
 public:
  explicit NoopRequest(Session& session);
};

class LoginUsingPasswordRequest : public DSRequest {
 public:
  LoginUsingPasswordRequest(Session& session, const std::string& screenName,
                            const std::string& password);
  void setRequestNVPs(NVPSet& request, const std::string& prefix) override;

  const std::string screenName;
  const std::string password;
};

class LoginUsingAuthTokenRequest : public DSRequest {
 public:
  LoginUsingAuthTokenRequest(Session& session, const std::string& authToken);
  void setRequestNVPs(NVPSet& request, const std::string& prefix) override;

  const std::string authToken;
};

class LogoutRequest : public DSRequest {
 public:
  explicit LogoutRequest(Session& session);
};

class TouchSessionRequest : public DSRequest {
 public:
  explicit TouchSessionRequest(Session& session);
  void processResponseNVPs(const NVPSet& response, const std::string& prefix) override;

  // Empty when the answer did not say.
  boost::optional<bool> isLoggedIn;
};

class ObtainAuthTokenRequest : public DSRequest {
 public:
  // An empty station type is not sent.
  ObtainAuthTokenRequest(Session& session, const std::string& forStationType);
  void setRequestNVPs(NVPSet& request, const std::string& prefix) override;
  // "authToken" is required, whatever the return code.
  void processResponseNVPs(const NVPSet& response, const std::string& prefix) override;

  const std::string forStationType;
  std::string authToken;
};

class RetrieveClientGeneralUpgradeInfoRequest : public DSRequest {
 public:
  explicit RetrieveClientGeneralUpgradeInfoRequest(Session& session);
  void processResponseNVPs(const NVPSet& response, const std::string& prefix) override;

  std::string remoteKey;
  std::string installString;
};

class SetCoreGroupRequest : public DSRequest {
 public:
  // Sends the entity id when it is not empty, the alias (even an empty one) otherwise.
  SetCoreGroupRequest(Session& session, const std::string& coreGroupEntid,
                      const std::string& coreGroupAlias);
  void setRequestNVPs(NVPSet& request, const std::string& prefix) override;
  void processResponseNVPs(const NVPSet& response, const std::string& prefix) override;

  const std::string coreGroupEntid;
  const std::string coreGroupAlias;
  boost::optional<std::string> newCoreGroupAlias;
  boost::optional<std::string> newCoreGroupTitle;
};

class GetEffectiveClassidPeriodRequest : public DSRequest {
 public:
  explicit GetEffectiveClassidPeriodRequest(Session& session);
  // "effectiveClassIdPeriod" is required, whatever the return code.
  void processResponseNVPs(const NVPSet& response, const std::string& prefix) override;

  std::string effectiveClassIdPeriod;
};

class SetEffectiveClassidPeriodRequest : public DSRequest {
 public:
  SetEffectiveClassidPeriodRequest(Session& session, const std::string& effectiveClassIdPeriod);
  void setRequestNVPs(NVPSet& request, const std::string& prefix) override;

  const std::string effectiveClassIdPeriod;
};

}  // namespace vexo
