// Requests in passes, seen through a transport that records every POST: how values are cut
// into passes within the post budget, how the answers merge, where a failure stops, and what
// the traces (and so the log table sent to the server) show of secrets.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/session/NVPSet.h"
#include "vexolib/session/Session.h"
#include "vexolib/transport/Transceiver.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"

namespace vexotest {
namespace {

using vexo::NVPSet;
using vexo::Session;
using vexo::Transceiver;
using vexo::VexoException;
namespace platform = vexo::platform;

typedef std::map<std::string, std::string> Values;
typedef std::vector<std::string> Names;

const vexo::ConnectionDef direct;

class RecordingTransport : public Transceiver {
 public:
  explicit RecordingTransport(unsigned long budget)
      : Transceiver(direct, "http://127.0.0.1:9/DesktopSession.page", "test"), budget(budget) {}

  void finishInitialization() override {}
  std::string getName() const override { return "recording"; }
  bool connect() override { return true; }
  bool disconnect() override { return true; }
  bool isConnected() const override { return true; }
  void setTimeoutSeconds(int) override {}
  unsigned long getMaxRecommendedPostSize() const override { return budget; }

  struct Post {
    Values strings;
    Values files;      // bytes of each file slice
    Values fileNames;  // the name each slice is known by
  };
  std::vector<Post> posts;
  // Answers by pass; a pass without one gets 200 and an empty body.
  std::vector<std::pair<int, std::string>> answers;

  // The request values of each POST, without the client attributes and log entries.
  std::vector<Names> passNames() const {
    std::vector<Names> out;
    for (const Post& post : posts) {
      Names names;
      for (const auto& v : post.strings) {
        if (v.first.rfind("req.clientAttribute.", 0) != 0 && v.first.rfind("log.", 0) != 0) {
          names.push_back(v.first);
        }
      }
      for (const auto& f : post.files) {
        names.push_back(f.first);
      }
      std::sort(names.begin(), names.end());
      out.push_back(names);
    }
    return out;
  }

 protected:
  int transmitAndReceive(vexo::ResponseBody& body) override {
    Post post;
    for (const auto& v : requestValues) {
      if (v.second.isString) {
        post.strings[v.first] = v.second.value;
      } else {
        post.files[v.first] = readFile(v.second.filePath)
                                  .substr(static_cast<std::size_t>(v.second.offset),
                                          static_cast<std::size_t>(v.second.length));
        post.fileNames[v.first] = v.second.fileName;
      }
    }
    posts.push_back(post);
    const std::size_t pass = posts.size() - 1;
    const std::pair<int, std::string> answer =
        pass < answers.size() ? answers[pass] : std::make_pair(200, std::string());
    body.append(answer.second.data(), answer.second.size());
    return answer.first;
  }
  boost::optional<long> processRequestValue(const std::string&, const RequestValueEntry&,
                                            bool) override {
    return 0L;
  }

 private:
  unsigned long budget;
};

class SessionPassesTest : public FrameworkTest {
 protected:
  // Values named by their text; "<name>:<n>" makes a chunk of n bytes instead.
  static NVPSet request(const std::vector<std::string>& descriptions) {
    NVPSet set;
    for (const std::string& text : descriptions) {
      const std::size_t colon = text.find(':');
      if (colon == std::string::npos) {
        set.setString(text, "value of " + text);
      } else {
        const std::string bytes(std::stoul(text.substr(colon + 1)), 'x');
        set.setChunk(text.substr(0, colon), reinterpret_cast<const unsigned char*>(bytes.data()),
                     0, bytes.size());
      }
    }
    return set;
  }

  Session session;
  const std::map<std::string, std::string> attributes{{"client", "marktally"}};
};

TEST_F(SessionPassesTest, ValuesAreCutIntoPassesWithinTheBudgetInNameOrder) {
  struct Case {
    const char* what;
    unsigned long budget;
    std::vector<std::string> values;
    std::vector<Names> passes;
  };
  const std::string more = "req.hasMoreData";
  const std::vector<Case> cases = {
      {"empty request", 1000, {}, {{}}},
      {"three strings fit 200", 200, {"a", "b", "c"}, {{"a", "b", "c"}}},
      {"two of three strings fit 192", 192, {"a", "b", "c"}, {{"a", "b", more}, {"c"}}},
      {"a budget equal to the cost does not fit", 128, {"a", "b"}, {{"a", more}, {"b"}}},
      {"chunks cost their size", 200, {"a:150", "b", "c"}, {{"a", more}, {"b", "c"}}},
      {"a large first value closes the pass", 200, {"a", "b:150", "c"},
       {{"a", more}, {"b", more}, {"c"}}},
      {"operation 10 before operation 2", 128, {"req.2.x", "req.10.x"},
       {{"req.10.x", more}, {"req.2.x"}}},
      {"a chunk over the budget goes alone", 200, {"a:500", "b", "c:600"},
       {{"a", more}, {"b", more}, {"c"}}},
      {"strings over a tiny budget go one by one", 10, {"a", "b", "c"},
       {{"a", more}, {"b", more}, {"c"}}},
      {"an empty chunk costs nothing", 65, {"a", "b:0"}, {{"a", "b"}}},
  };
  for (const Case& c : cases) {
    RecordingTransport transport(c.budget);
    NVPSet response;
    EXPECT_EQ(session.transferNVPs(transport, attributes, request(c.values), response), 200)
        << c.what;
    EXPECT_EQ(transport.passNames(), c.passes) << c.what;
    for (const RecordingTransport::Post& post : transport.posts) {
      EXPECT_EQ(post.strings.at("req.clientAttribute.client"), "marktally") << c.what;
      if (post.strings.count(more)) {
        EXPECT_EQ(post.strings.at(more), "true");
      }
    }
  }
}

TEST_F(SessionPassesTest, ChunksTravelAsFileSlicesOfTheirTemporaryFiles) {
  RecordingTransport transport(1000);
  NVPSet req;
  const std::string bytes("\0\r\n\xff" "data", 8);
  req.setChunk("req.0.chunk.0", reinterpret_cast<const unsigned char*>(bytes.data()), 0, 8);
  NVPSet response;
  session.transferNVPs(transport, attributes, req, response);
  ASSERT_EQ(transport.posts.size(), 1u);
  EXPECT_EQ(transport.posts[0].files.at("req.0.chunk.0"), bytes);
  EXPECT_EQ(transport.posts[0].fileNames.at("req.0.chunk.0"),
            platform::getFileNameFromPath(req.getChunkFileTempPath("req.0.chunk.0")));
}

TEST_F(SessionPassesTest, TheAnswersOfAllPassesAreMerged) {
  RecordingTransport transport(150);
  transport.answers = {{200, "a=1\r\nx=first\r\n"},
                       {200, "blob!3\r\nabc\r\nempty!0\r\n\r\nsessionMarker=S9\r\n"},
                       {200, "x=last\r\n"}};
  NVPSet response;
  response.setString("kept", "before");
  response.setString("a", "before");
  EXPECT_EQ(session.transferNVPs(transport, attributes, request({"p", "q", "r", "s", "t"}),
                                 response),
            200);
  EXPECT_EQ(transport.posts.size(), 3u);
  EXPECT_EQ(response.getNVPNames(),
            (Names{"a", "blob", "empty", "kept", "sessionMarker", "x"}));
  EXPECT_EQ(response.getString("a"), "1");
  EXPECT_EQ(response.getString("x"), "last");
  EXPECT_EQ(response.getString("kept"), "before");
  // The chunks are the response's own copies: the readers of the passes are gone.
  EXPECT_EQ(readFile(response.getChunkFileTempPath("blob")), "abc");
  EXPECT_EQ(response.getChunkSize("empty"), 0u);
}

TEST_F(SessionPassesTest, AFailedPassEndsTheRequestAndKeepsWhatCameBefore) {
  RecordingTransport transport(150);
  transport.answers = {{200, "first=1\r\n"}, {500, "second=2\r\n"}, {200, "third=3\r\n"}};
  NVPSet response;
  EXPECT_EQ(session.transferNVPs(transport, attributes, request({"p", "q", "r", "s", "t"}),
                                 response),
            500);
  EXPECT_EQ(transport.posts.size(), 2u);
  EXPECT_EQ(response.getNVPNames(), (Names{"first"}));

  RecordingTransport garbled(150);
  garbled.answers = {{200, "first=1\r\n"}, {200, "not a record\r\n"}};
  NVPSet partial;
  try {
    session.transferNVPs(garbled, attributes, request({"p", "q", "r", "s", "t"}), partial);
    ADD_FAILURE() << "no failure";
  } catch (const VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
  }
  EXPECT_EQ(garbled.posts.size(), 2u);
  EXPECT_EQ(partial.getNVPNames(), (Names{"first"}));
}

TEST_F(SessionPassesTest, TracesAndTheLogTableNeverShowPasswordsOrWholeTokens) {
  const std::string dir = makeFolder("traces");
  platform::setTraceLogDirectory(dir);
  platform::setTracingEnabled(true);
  platform::enableLogTable();
  const std::string token = "0123456789abcdefTHE-REST-OF-THE-TOKEN";
  NVPSet req;
  req.setString("req.0.password", "hunter2");
  req.setString("req.0.authToken", token);
  req.setString("req.0.screenName", "teacher1");
  req.setString("req.1.password.hint", "visible");
  RecordingTransport transport(150);
  transport.answers = {{200, ""}, {200, "resp.0.authToken=" + token + "\r\n"}};
  NVPSet response;
  ASSERT_EQ(session.transferNVPs(transport, attributes, req, response), 200);
  ASSERT_EQ(transport.posts.size(), 2u);
  // Entries logged during the request travel with its next POST.
  RecordingTransport next(1000);
  NVPSet nothing;
  session.transferNVPs(next, attributes, NVPSet(), nothing);

  std::string traces;
  for (const std::string& name : listFolder(dir)) {
    traces += readFile(dir + "/" + name);
  }
  std::string shipped;
  for (const auto* t : {&transport, &next}) {
    for (const RecordingTransport::Post& post : t->posts) {
      for (const auto& v : post.strings) {
        if (v.first.rfind("log.", 0) == 0) {
          shipped += v.second + "\n";
        }
      }
    }
  }
  for (const std::string* text : {&traces, &shipped}) {
    EXPECT_EQ(text->find("hunter2"), std::string::npos);
    EXPECT_EQ(text->find("THE-REST"), std::string::npos);
    EXPECT_NE(text->find("req.0.password=********\n"), std::string::npos);
    EXPECT_NE(text->find("req.0.authToken=0123456789abcdef****************\n"),
              std::string::npos);
    EXPECT_NE(text->find("resp.0.authToken=0123456789abcdef****************\n"),
              std::string::npos);
    EXPECT_NE(text->find("req.1.password.hint=visible\n"), std::string::npos);
    EXPECT_NE(text->find("Pass 2 - NVPs being sent:"), std::string::npos);
    EXPECT_NE(text->find("NVPs received in pass 2:"), std::string::npos);
    EXPECT_NE(text->find("session marker: (none)"), std::string::npos);
  }
  // What is sent is never masked.
  EXPECT_EQ(transport.posts[0].strings.count("req.0.authToken") +
                transport.posts[1].strings.count("req.0.authToken"),
            1u);
  EXPECT_EQ(response.getString("resp.0.authToken"), token);
}

TEST_F(SessionPassesTest, SensitiveValuesAreMaskedByTheEndOfTheirNames) {
  using vexo::filterSensitiveNVPValueForLogging;
  const std::string forty(40, 't');
  EXPECT_EQ(filterSensitiveNVPValueForLogging("req.0.password", "secret"), "********");
  EXPECT_EQ(filterSensitiveNVPValueForLogging("req.0.password", ""), "********");
  EXPECT_EQ(filterSensitiveNVPValueForLogging("req.0.authToken", forty),
            std::string(16, 't') + std::string(16, '*'));
  EXPECT_EQ(filterSensitiveNVPValueForLogging("req.0.authToken", "0123456789"),
            "0123456789" + std::string(16, '*'));
  EXPECT_EQ(filterSensitiveNVPValueForLogging("password", "x"), "x");
  EXPECT_EQ(filterSensitiveNVPValueForLogging("req.0.passwordHint", "x"), "x");
  EXPECT_EQ(filterSensitiveNVPValueForLogging("req.0.authtoken", "x"), "x");
}

}  // namespace
}  // namespace vexotest
