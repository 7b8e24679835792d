// The reader of the session page's answers, on bodies given byte for byte: what each
// well-formed body yields and how each malformed one fails.
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/session/NVPResponseProcessor.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"

namespace vexotest {
namespace {

using vexo::NVPResponseProcessor;
using vexo::VexoException;
namespace platform = vexo::platform;

std::vector<unsigned char> bytes(const std::string& s) {
  return std::vector<unsigned char>(s.begin(), s.end());
}

// A parsed set as text: "name=value" for strings and "name!<bytes>" for chunks, in order.
std::vector<std::string> contents(const NVPResponseProcessor& p) {
  std::vector<std::string> out;
  for (const std::string& name : p.responseNVPs.getNVPNames()) {
    out.push_back(p.responseNVPs.isString(name)
                      ? name + "=" + p.responseNVPs.getString(name)
                      : name + "!" + readFile(p.responseNVPs.getChunkFileTempPath(name)));
  }
  return out;
}

typedef std::vector<std::string> Lines;

class NVPResponseTest : public FrameworkTest {
 protected:
  // The body read as a session reads it, from a file; or handed over in memory.
  static void read(NVPResponseProcessor& p, const std::string& body, bool fromFile) {
    if (!fromFile) {
      p(200, bytes(body));
      return;
    }
    const std::string path = sandboxRoot() + "/answer.bin";
    writeFile(path, body);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::unlink(path.c_str());
    try {
      p.processFile(200, fd, body.size());
    } catch (...) {
      ::close(fd);
      throw;
    }
    ::close(fd);
  }
};

TEST_F(NVPResponseTest, WellFormedBodies) {
  struct Case {
    const char* what;
    std::string body;
    Lines expected;
  };
  const std::vector<Case> cases = {
      {"empty body", "", {}},
      {"strings", "a=1\r\nb=x=y!z\r\n", {"a=1", "b=x=y!z"}},
      {"empty value", "a=\r\n", {"a="}},
      {"name alphabet", "Resp_0.X9=v\r\n", {"Resp_0.X9=v"}},
      {"binary with line ends inside", "d!5\r\nab\r\nc\r\ne=1\r\n", {"d!ab\r\nc", "e=1"}},
      {"binary with zero bytes", std::string("d!3\r\n\0\0\0\r\n", 11),
       {std::string("d!\0\0\0", 5)}},
      {"empty binary", "d!0\r\n\r\nx=1\r\n", {"d!", "x=1"}},
      {"leading zeros in a length", "d!002\r\nok\r\n", {"d!ok"}},
      {"zero byte in a text line", std::string("a=b\0c\r\nd=1\r\n", 12),
       {std::string("a=b\0c", 5), "d=1"}},
      {"lone CR and LF in a value", "a=b\rc\nd\r\n", {"a=b\rc\nd"}},
      {"last line without CR LF", "x=1\r\ny=2", {"x=1"}},
      {"only a line without CR LF", "x=1", {}},
      {"trailing CR", "x=1\r\ny=2\r", {"x=1"}},
      {"later value wins", "a=1\r\na!2\r\nzz\r\nb!1\r\nq\r\nb=2\r\n", {"a!zz", "b=2"}},
      {"high bytes in a value", "a=\xe9t\xe9\r\n", {"a=\xe9t\xe9"}},
  };
  for (const bool fromFile : {false, true}) {
    for (const Case& c : cases) {
      NVPResponseProcessor p;
      read(p, c.body, fromFile);
      EXPECT_EQ(contents(p), c.expected) << c.what << (fromFile ? " (file)" : "");
    }
  }
}

// The file is read a window at a time: lines, binary values and CR LF pairs that straddle
// window edges read as they do in memory.
TEST_F(NVPResponseTest, AFileReadsAsTheSameBodyInMemory) {
  std::string body;
  unsigned state = 7;
  const auto next = [&state]() {
    state = state * 1103515245u + 12345u;
    return (state >> 8) & 0xffff;
  };
  for (int i = 0; body.size() < 3u * 1024 * 1024; ++i) {
    if (i % 3 == 0) {
      std::string blob(next() * 4, '\0');
      for (char& c : blob) {
        c = static_cast<char>(next() % 5 == 0 ? '\r' : next());
      }
      body += "b" + std::to_string(i) + "!" + std::to_string(blob.size()) + "\r\n" + blob +
              "\r\n";
    } else {
      body += "s" + std::to_string(i) + "=" + std::string(next() % 300000, 'v') + "\r\n";
    }
  }
  body += "rest=no line end";
  NVPResponseProcessor memory;
  read(memory, body, false);
  NVPResponseProcessor file;
  read(file, body, true);
  EXPECT_GT(memory.responseNVPs.size(), 20u);
  EXPECT_TRUE(contents(memory) == contents(file));
  EXPECT_EQ(memory.recentLines, file.recentLines);
}

// A text value is held in memory, so a line is kept no longer than a page may be; a binary
// value of any length is not held at all.
TEST_F(NVPResponseTest, ATextLineLongerThanAPageIsRefused) {
  const std::size_t limit = NVPResponseProcessor::maxLineLength;
  const std::string atLimit = "a=" + std::string(limit - 2, 'x') + "\r\n";
  const std::string overLimit = "a=" + std::string(limit - 1, 'x') + "\r\n";
  for (const bool fromFile : {false, true}) {
    NVPResponseProcessor p;
    read(p, atLimit, fromFile);
    EXPECT_EQ(p.responseNVPs.getString("a").size(), limit - 2);
    NVPResponseProcessor q;
    try {
      read(q, overLimit, fromFile);
      ADD_FAILURE() << "no failure";
    } catch (const VexoException& e) {
      EXPECT_EQ(e.statusCode, 103);
      EXPECT_EQ(std::string(e.what()),
                "NVP line longer than " + std::to_string(limit) + " bytes");
    }
  }
}

TEST_F(NVPResponseTest, AnswersOtherThan200AreNotRead) {
  for (const int status : {404, 500, 0, -1, 201}) {
    NVPResponseProcessor p;
    p(status, bytes("a=1\r\n"));
    EXPECT_EQ(p.responseNVPs.size(), 0u) << status;
  }
}

TEST_F(NVPResponseTest, MalformedBodies) {
  struct Case {
    const char* what;
    std::string body;
    std::string message;
  };
  const std::string bad = "Malformed response input. NVP line: ";
  const std::string recent = ".  Recent preceding NVP lines: ";
  const std::vector<Case> cases = {
      {"blank in a line", "a=1\r\nb=2\r\nbad line\r\n",
       bad + "\"bad line\"" + recent + "\"a=1\"  \"b=2\"  ."},
      {"empty line", "a=1\r\n\r\nb=2\r\n", bad + "\"\"" + recent + "\"a=1\"  ."},
      {"first line", "-x=1\r\n", bad + "\"-x=1\"" + recent + "."},
      {"dash in a name", "a-b=1\r\n", bad + "\"a-b=1\"" + recent + "."},
      {"no name", "=1\r\n", bad + "\"=1\"" + recent + "."},
      {"no separator", "abc\r\n", bad + "\"abc\"" + recent + "."},
      {"high byte in a name", "caf\xe9=1\r\n", bad + "\"caf\xe9=1\"" + recent + "."},
      {"seventh line", "l1=1\r\nl2=2\r\nl3=3\r\nb!1\r\nx\r\nl5=5\r\nl6=6\r\nseven\r\n",
       bad + "\"seven\"" + recent + "\"l2=2\"  \"l3=3\"  \"b!1\"  \"l5=5\"  \"l6=6\"  ."},
      {"binary cut short", "d!5\r\nabc", "Malformed binary input"},
      {"binary cut before its CR LF", "d!5\r\nabcde", "Malformed binary input"},
      {"binary cut inside its CR LF", "d!5\r\nabcde\r", "Malformed binary input"},
      {"binary not closed by CR LF", "d!5\r\nabcdeXY\r\n", "Malformed binary input"},
      {"binary closed by LF alone", "d!5\r\nabcde\nx=1\r\n", "Malformed binary input"},
      {"largest length", "d!18446744073709551615\r\nab\r\n", "Malformed binary input"},
      {"length with a letter", "d!5a\r\nabcde\r\n", "Invalid chunk size string: 5a"},
      {"negative length", "d!-1\r\n\r\n", "Invalid chunk size string: -1"},
      {"signed length", "d!+5\r\nabcde\r\n", "Invalid chunk size string: +5"},
      {"empty length", "d!\r\n\r\n", "Invalid chunk size string: "},
      {"blank in a length", "d! 5\r\nabcde\r\n", "Invalid chunk size string:  5"},
      {"length past 64 bits", "d!18446744073709551616\r\n\r\n",
       "Invalid chunk size string: 18446744073709551616"},
  };
  for (const bool fromFile : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(fromFile ? "file" : "memory");
      NVPResponseProcessor p;
      try {
        read(p, c.body, fromFile);
        ADD_FAILURE() << c.what << ": no failure";
      } catch (const VexoException& e) {
        EXPECT_EQ(e.statusCode, 103) << c.what;
        EXPECT_EQ(std::string(e.what()), c.message) << c.what;
      }
    }
  }
}

TEST_F(NVPResponseTest, SecretsAreQuotedOnlyAsTracesShowThem) {
  NVPResponseProcessor p;
  try {
    p(200, bytes("resp.0.authToken=0123456789abcdefSECRET\r\nreq.0.password=pw\r\nbad\r\n"));
    FAIL() << "no failure";
  } catch (const VexoException& e) {
    EXPECT_EQ(std::string(e.what()),
              "Malformed response input. NVP line: \"bad\".  Recent preceding NVP lines: "
              "\"resp.0.authToken=0123456789abcdef****************\"  "
              "\"req.0.password=********\"  .");
  }
  // The values themselves are read unchanged.
  EXPECT_EQ(p.responseNVPs.getString("resp.0.authToken"), "0123456789abcdefSECRET");

  // A malformed line is no excuse to show a secret it carries.
  NVPResponseProcessor q;
  try {
    q(200, bytes("resp 0.password=hunter2\r\n"));
    FAIL() << "no failure";
  } catch (const VexoException& e) {
    EXPECT_EQ(std::string(e.what()).find("hunter2"), std::string::npos) << e.what();
  }
}

// An answer's text is held in memory, so it has a cap: lines up to it are read, one byte past
// it refuses the whole answer. A binary value's bytes stay on disk and do not count, but each
// value counts 256 bytes for its holder besides its line.
TEST_F(NVPResponseTest, AnAnswerPastItsTextCapIsRefusedWhole) {
  const std::size_t cap = NVPResponseProcessor::maxAnswerText;
  const std::string head = "resp.0.retcode=ok\r\n";
  // Lines of 16 bytes ("v0000000000=xx" and CR LF), each name new.
  const auto lines = [](std::size_t bytes) {
    std::string text;
    for (std::size_t i = 0; text.size() + 16 <= bytes; ++i) {
      std::string number = std::to_string(i);
      text += "v" + std::string(10 - number.size(), '0') + number + "=xx\r\n";
    }
    return text;
  };
  const std::string binary = "blob!3\r\nabc\r\n";  // 8 bytes of line, 256 for the holder
  const std::size_t fill = (cap - head.size() - 100) / 16 * 16;
  const std::size_t last = cap - head.size() - fill;  // the line that meets the cap exactly
  const std::size_t beside = (cap - head.size() - 8 - 256) / 16 * 16;
  struct Case {
    std::string body;
    bool refused;
  };
  const Case cases[] = {
      {head + lines(fill) + "z=" + std::string(last - 4, 'n') + "\r\n", false},
      {head + lines(fill) + "z=" + std::string(last - 3, 'n') + "\r\n", true},
      {head + lines(beside) + binary, false},
      {head + lines(beside + 16) + binary, true},
      {head + "blob!" + std::to_string(cap) + "\r\n" + std::string(cap, 'b') + "\r\n", false},
  };
  for (const Case& c : cases) {
    for (const bool fromFile : {false, true}) {
      SCOPED_TRACE(std::to_string(c.body.size()) + (fromFile ? " from a file" : " in memory"));
      NVPResponseProcessor p;
      try {
        read(p, c.body, fromFile);
        EXPECT_FALSE(c.refused) << "no failure";
        EXPECT_EQ(p.responseNVPs.getString("resp.0.retcode"), "ok");
      } catch (const VexoException& e) {
        EXPECT_TRUE(c.refused) << e.what();
        EXPECT_EQ(e.statusCode, 103);
        EXPECT_EQ(std::string(e.what()), "Answer holds more than 17 MiB of text");
      }
    }
  }
  EXPECT_TRUE(listFolder(platform::getTemporaryDirectory()).empty()) << "no chunk stays";
}

TEST_F(NVPResponseTest, BinaryValuesLiveInTemporaryFilesAsLongAsTheReader) {
  std::string path;
  {
    NVPResponseProcessor p;
    p(200, bytes("blob!4\r\n\x01\x02\x03\x04\r\n"));
    path = p.responseNVPs.getChunkFileTempPath("blob");
    EXPECT_EQ(readFile(path), "\x01\x02\x03\x04");
  }
  EXPECT_FALSE(platform::fileExists(path));
  EXPECT_TRUE(listFolder(platform::getTemporaryDirectory()).empty());
}

}  // namespace
}  // namespace vexotest
