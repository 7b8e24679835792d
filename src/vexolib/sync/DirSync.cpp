#include "vexolib/sync/DirSync.h"

#include <exception>
#include <memory>
#include <typeinfo>
#include <vector>

#include <boost/filesystem/operations.hpp>
#include <boost/format.hpp>

#include "vexolib/session/DSRequest.h"
#include "vexolib/session/NVPSet.h"
#include "vexolib/session/Session.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/status.h"
#include "vexolib/sync/DirImage.h"
#include "vexolib/sync/SyncRequests.h"

namespace fs = boost::filesystem;

namespace vexo {

namespace {

std::shared_ptr<DSRequest> createInitialRequestForSyncDesc(Session& session,
                                                           const Session::SyncDesc& desc,
                                                           DirProxy& image) {
  if (desc.syncType == Session::LOAD_FROM_SERVER || desc.syncType == Session::DIRECT_GET) {
    return std::make_shared<LoadRequest>(session, desc.localPath, desc.remoteKey, desc.options,
                                         image);
  }
  if (desc.syncType == Session::SAVE_TO_SERVER || desc.syncType == Session::DIRECT_PUT) {
    return std::make_shared<PrepareSaveRequest>(session, desc.localPath, desc.remoteKey,
                                                desc.options, image);
  }
  throw VexoException(status::generalFailure, "Unknown sync type");
}

bool isNoop(const DSRequest& request) {
  return typeid(request) == typeid(NoopRequest);
}

bool existsFollowingLinks(const fs::path& path) {
  boost::system::error_code error;
  return fs::exists(path, error);
}

}  // namespace

std::vector<int> DirSync::syncDirs(std::vector<Session::SyncDesc>& descs) {
  platform::trace("syncDirs");
  const std::size_t n = descs.size();
  std::vector<int> results(n, 0);
  try {
    for (std::size_t i = 0; i < n; ++i) {
      descs[i].localPath = descs[i].localPath.lexically_normal();
      if (!existsFollowingLinks(descs[i].localPath)) {
        results.assign(n, 0);
        results[i] = status::badFileSpecification;
        return results;
      }
    }
    std::vector<std::shared_ptr<DirProxy>> images;
    for (std::size_t i = 0; i < n; ++i) {
      platform::trace("Sync dir: " + descs[i].localPath.string());
      images.push_back(std::make_shared<DirProxy>(descs[i].localPath));
      if (images.back()->containsDuplicatePathsWhenLetterCaseIgnored()) {
        throw VexoException(status::namesDifferOnlyInCase,
                            "Client directory being synced has one or filenames which differ "
                            "only in letter case.");
      }
    }
    std::vector<std::shared_ptr<DSRequest>> requests;
    for (std::size_t i = 0; i < n; ++i) {
      requests.push_back(createInitialRequestForSyncDesc(session, descs[i], *images[i]));
    }
    for (;;) {
      platform::trace("sending requests");
      std::unique_ptr<NVPSet> request(new NVPSet());
      request->setInteger("req.count", static_cast<int>(n));
      for (std::size_t i = 0; i < n; ++i) {
        requests[i]->setRequestNVPs(*request, (boost::format("req.%d.") % i).str());
      }
      std::unique_ptr<NVPSet> response(new NVPSet());
      const int httpStatus = session.transferNVPs(
          session.accessTransceiver(), session.getClientAttributes(), *request, *response);
      if (httpStatus != 200) {
        throw VexoException(status::httpStatusNot200,
                            "First phase data transfer failed (HTTP status " +
                                session.accessTransceiver().describeStatus(httpStatus) + ").");
      }
      // The request's chunk files go now rather than at the end of the cycle.
      request.reset();
      platform::trace("processing responses");
      for (std::size_t i = 0; i < n; ++i) {
        requests[i]->processResponseNVPs(*response, (boost::format("resp.%d.") % i).str());
        if (!isNoop(*requests[i])) {
          results[i] = requests[i]->getRetCode();
        }
      }
      bool more = false;
      for (std::size_t i = 0; i < n; ++i) {
        requests[i] = requests[i]->getFollowUpRequest();
        more = more || !isNoop(*requests[i]);
      }
      if (!more) {
        platform::trace("exit syncDirs");
        return results;
      }
    }
  } catch (const VexoException&) {
    throw;
  } catch (const std::exception& e) {
    throw VexoException(status::generalFailure, std::string("Exception in syncDirs: ") + e.what());
  } catch (...) {
    throw VexoException(status::generalFailure, "Non-std exception in syncDirs.");
  }
}

int DirSync::getInterfaceDefinitionFiles(const std::string& interfaceName,
                                         const std::string& interfaceId, const fs::path& dir) {
  platform::trace("getInterfaceDefinitionFiles");
  std::vector<Session::SyncDesc> descs(1);
  descs[0].localPath = dir;
  descs[0].remoteKey = "InterfaceDefinitions";
  descs[0].syncType = Session::LOAD_FROM_SERVER;
  descs[0].options =
      interfaceName.empty() ? "interfaceId=" + interfaceId : "interfaceName=" + interfaceName;
  const std::vector<int> codes = syncDirs(descs);
  platform::trace("exit getInterfaceDefinitionFiles");
  return codes.at(0);
}

}  // namespace vexo
