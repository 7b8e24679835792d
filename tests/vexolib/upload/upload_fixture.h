// GoogleTest fixture for uploads against the fake service with the checking upload page
// (tests/service/lorvex_upload_service.py): one service per test program, emptied before
// every test; the framework's upload and URL prefix point at it, no proxy comes from the
// environment, and a recording stand-in for xdg-open is first in PATH.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "sandbox.h"
#include "service_fixture.h"
#include "vexolib/platform/platform.h"

namespace vexotest {

// Incompressible bytes, the same for the same seed.
inline std::string randomBytes(std::size_t size, std::uint64_t seed) {
  std::string bytes(size, '\0');
  std::uint64_t state = seed;
  for (std::size_t i = 0; i < size; i += 8) {
    state += 0x9e3779b97f4a7c15ULL;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    for (std::size_t k = 0; k < 8 && i + k < size; ++k) {
      bytes[i + k] = static_cast<char>(z >> (8 * k));
    }
  }
  return bytes;
}

class UploadServiceTest : public FrameworkTest {
 protected:
  static void SetUpTestSuite() {
    if (!service_) {
      // The service compares every file it inflates with the file of that name here.
      ::mkdir(referenceFolder().c_str(), 0700);
      ScopedEnv reference("LORVEX_UPLOAD_REFERENCE", referenceFolder().c_str());
      service_.reset(new LorvexService(VEXO_UPLOAD_SERVICE_SCRIPT));
    }
  }

  void SetUp() override {
    FrameworkTest::SetUp();
    service_->clear();
    bin_ = makeFolder("bin");
    files_ = makeFolder("files");
    writeFile(bin_ + "/xdg-open",
              "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + bin_ + "/opened.txt'\n");
    ::chmod((bin_ + "/xdg-open").c_str(), 0700);
    path_.reset(new ScopedEnv("PATH", (bin_ + ":/usr/bin:/bin").c_str()));
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "HTTP_PROXY",
                             "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
      proxyEnv_.emplace_back(new ScopedEnv(name, nullptr));
    }
    pointFrameworkAtService();
  }

  void TearDown() override {
    proxyEnv_.clear();
    path_.reset();
    FrameworkTest::TearDown();
  }

  static LorvexService& service() { return *service_; }
  static std::string referenceFolder() { return sandboxRoot() + "/reference"; }

  static void pointFrameworkAtService() {
    vexo::platform::overrideStringConfigOption("urlprefix", service_->url(""));
    vexo::platform::overrideStringConfigOption("uploadurl", uploadUrl());
  }
  static std::string uploadUrl() { return service_->url("/AdminDataUpload.page"); }

  // A file to upload, with its reference copy for the service.
  std::string makeFile(const std::string& name, const std::string& bytes) {
    const std::string path = files_ + "/" + name;
    writeFile(path, bytes);
    writeFile(referenceFolder() + "/" + name, bytes);
    return path;
  }

  // Every address handed to the browser, in order.
  std::vector<std::string> openedPages() const {
    std::vector<std::string> pages;
    std::string text;
    try {
      text = readFile(bin_ + "/opened.txt");
    } catch (const std::exception&) {
      return pages;
    }
    std::string::size_type start = 0;
    for (std::string::size_type nl; (nl = text.find('\n', start)) != std::string::npos;
         start = nl + 1) {
      pages.push_back(text.substr(start, nl - start));
    }
    return pages;
  }

  // The recorded requests to the upload page, oldest first.
  std::vector<RecordedRequest> uploadRequests() {
    std::vector<RecordedRequest> out;
    for (const RecordedRequest& r : service_->requests()) {
      if (r.target.rfind("/AdminDataUpload.page", 0) == 0) {
        out.push_back(r);
      }
    }
    return out;
  }

  // Files the framework keeps in its temporary folder.
  static std::vector<std::string> temporaryFiles() {
    const std::string folder = vexo::platform::getTemporaryDirectory();
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 ? listFolder(folder) : std::vector<std::string>();
  }

  static bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }

  std::string bin_;
  std::string files_;

 private:
  std::unique_ptr<ScopedEnv> path_;
  std::vector<std::unique_ptr<ScopedEnv>> proxyEnv_;
  static inline std::unique_ptr<LorvexService> service_;
};

}  // namespace vexotest
