// Directory synchronisation through the exported interface: the queue and its lifetime, the
// codes and messages a client sees, and the interface definition download.
#include <string>

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include "interface_fixture.h"

namespace vexotest {
namespace {

class SyncOpsTest : public InterfaceTest {
 protected:
  std::string lastRequestCount() {
    const auto posts = sessionPosts();
    return posts.empty() ? "(none)" : posts.back().at("req.count");
  }
};

TEST_F(SyncOpsTest, AQueuedFolderWaitsForASessionAndRunsOnce) {
  const std::string a = makeFolder("ops-a");
  writeFile(a + "/x.txt", "x");
  EXPECT_EQ(vexo25_queueSyncDir(a.c_str(), "k", "saveToServer", ""), 0);
  EXPECT_EQ(message(), "");
  EXPECT_EQ(vexo25_performSync(), 203);
  EXPECT_EQ(message(), "not connected");
  logIn("teacher1", "apple-pie");
  EXPECT_EQ(vexo25_performSync(), 0) << message();
  EXPECT_EQ(operationsSent(), (std::vector<std::string>{"loginUsingPassword", "prepareSave",
                                                        "save"}));
  // Emptied by the run: the next one sends no folder.
  EXPECT_EQ(vexo25_performSync(), 0);
  EXPECT_EQ(lastRequestCount(), "0");

  const std::string b = makeFolder("ops-b");
  EXPECT_EQ(vexo25_queueSyncDir(b.c_str(), "k", "loadFromServer", ""), 0);
  EXPECT_EQ(vexo25_performSync(), 0);
  EXPECT_EQ(readFile(b + "/x.txt"), "x");
}

TEST_F(SyncOpsTest, FailuresReportTheirCodesAndEmptyTheQueue) {
  const std::string a = makeFolder("ops-fail");
  logIn("teacher1", "apple-pie");
  // A missing folder: nothing sent, the session kept.
  vexo25_queueSyncDir(a.c_str(), "k", "loadFromServer", "");
  vexo25_queueSyncDir((a + "/missing").c_str(), "k", "loadFromServer", "");
  const std::size_t before = sessionPosts().size();
  EXPECT_EQ(vexo25_performSync(), 123);
  EXPECT_EQ(message(), "Sync error.");
  EXPECT_EQ(sessionPosts().size(), before);
  EXPECT_EQ(vexo25_isConnected(), 1);

  // An unknown sync type ends the session and drops the queue.
  vexo25_queueSyncDir(a.c_str(), "k", "upload", "");
  EXPECT_EQ(vexo25_performSync(), 103);
  EXPECT_EQ(message(), "Unknown sync type");
  EXPECT_EQ(vexo25_isConnected(), 0);
  logIn("teacher1", "apple-pie");
  EXPECT_EQ(vexo25_performSync(), 0);
  EXPECT_EQ(lastRequestCount(), "0");

  // The first non-zero code of the folders is the one reported.
  for (int i = 0; i < 3; ++i) {
    vexo25_queueSyncDir(a.c_str(), "k", "loadFromServer", "");
  }
  scriptNext(200,
             "resp.0.retcode=ok\r\nresp.0.clientOp.count=0\r\n"
             "resp.1.retcode=migrationSyncBlocked\r\nresp.2.retcode=dataMaintenance\r\n");
  EXPECT_EQ(vexo25_performSync(), 309);
  EXPECT_EQ(message(), "Sync error.");

  // Any failed session operation drops the queued folders with the session.
  vexo25_queueSyncDir(a.c_str(), "k", "loadFromServer", "");
  scriptNext(500, "");
  EXPECT_NE(vexo25_retrieveRosterUserInfo("17"), 0);
  EXPECT_EQ(vexo25_isConnected(), 0);
  logIn("teacher1", "apple-pie");
  EXPECT_EQ(vexo25_performSync(), 0);
  EXPECT_EQ(lastRequestCount(), "0");
}

TEST_F(SyncOpsTest, InterfaceDefinitionsByNameOrId) {
  const std::string dir = makeFolder("ops-defs");
  EXPECT_EQ(vexo25_getInterfaceDefinitionFiles("grades", "7", dir.c_str()), 203);
  logIn("teacher1", "apple-pie");
  EXPECT_EQ(vexo25_getInterfaceDefinitionFiles("grades", "7", dir.c_str()), 0);
  EXPECT_EQ(sessionPosts().back().at("req.0.options"), "interfaceName=grades");
  EXPECT_EQ(vexo25_getInterfaceDefinitionFiles(nullptr, "7", dir.c_str()), 0);
  EXPECT_EQ(sessionPosts().back().at("req.0.options"), "interfaceId=7");
  EXPECT_EQ(vexo25_getInterfaceDefinitionFiles("x", "", (dir + "/missing").c_str()), 123);
  EXPECT_EQ(message(), "");
  EXPECT_EQ(vexo25_isConnected(), 1);
}

}  // namespace
}  // namespace vexotest
