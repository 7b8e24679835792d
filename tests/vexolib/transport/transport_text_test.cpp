// The transport's text rules that need no server: which cookies are remembered, the cookie
// header and its size limit, and what traces may show of secrets.
#include <gtest/gtest.h>

#include "vexolib/platform/trace_mask.h"
#include "vexolib/seams/transport_detail.h"

namespace vexotest {
namespace {

using Cookies = std::map<std::string, std::string>;
using vexo::transport_detail::buildCookieText;
using vexo::transport_detail::rememberCookiesInHeaders;

TEST(CookieRule, RemembersOnlyPairsFollowedByAPath) {
  struct Case {
    const char* headers;
    Cookies expected;
  };
  const Case cases[] = {
      {"Set-Cookie: SID=abc; Path=/\r\n", {{"SID", "abc"}}},
      {"SET-COOKIE: sid=x;path=/\r\n", {{"sid", "x"}}},
      {"Set-Cookie: a=b; expires=Fri, 01 Jan 2010; path=/\r\n", {}},
      {"Set-Cookie: a=b\r\n", {}},
      {"Set-Cookie: a_1 = v w ; pathological\r\n", {{"a_1", "v w "}}},
      {"Set-Cookie: bad-name=1; path=/\r\n", {}},
      {"Set-Cookie: SID=abc; Path=/\r\nSet-Cookie: SID=def; path=/\r\n", {{"SID", "def"}}},
      {"Set-Cookie: x=1; Path=/\r\nSet-Cookie: y=2; Path=/\r\n", {{"x", "1"}, {"y", "2"}}},
      // A value never runs on into the next header line.
      {"Set-Cookie: a=1\r\nSet-Cookie: b=2; Path=/\r\n", {{"b", "2"}}},
      {"Set-Cookie: a=1\r\nX-Evil: 2; path=/\r\n", {}},
      {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n", {}},
  };
  for (const Case& c : cases) {
    Cookies cookies;
    rememberCookiesInHeaders(c.headers, cookies);
    EXPECT_EQ(cookies, c.expected) << c.headers;
  }
}

TEST(CookieRule, HeaderTextKeepsNameOrderAndItsLimit) {
  EXPECT_EQ(buildCookieText({}), "");
  EXPECT_EQ(buildCookieText({{"b", "2"}, {"a", "1"}}), "a=1; b=2; ");

  // "a=" + 5115 characters + "; " is 5119 bytes: with its NUL exactly the limit.
  Cookies cookies = {{"a", std::string(5115, 'v')}};
  EXPECT_EQ(buildCookieText(cookies).size(), 5119u);
  cookies["a"] += "v";
  EXPECT_EQ(buildCookieText(cookies).size(), 0u) << "one byte over the limit";

  // A piece that does not fit is skipped and a later, shorter one still goes in.
  cookies = {{"a", std::string(5000, 'v')}, {"b", std::string(200, 'w')}, {"c", "3"}};
  const std::string text = buildCookieText(cookies);
  EXPECT_EQ(text, "a=" + std::string(5000, 'v') + "; c=3; ");
  EXPECT_LT(text.size(), 5120u);
}

TEST(TraceMask, HidesCookiesAndTokens) {
  using vexo::tracemask::maskSecrets;
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"Set-Cookie: SID=abc; Path=/", "Set-Cookie: SID=********; Path=/"},
      {"HTTP/1.1 200 OK\r\nset-cookie: a=1;path=/\r\nX: y\r\n",
       "HTTP/1.1 200 OK\r\nset-cookie: a=********;path=/\r\nX: y\r\n"},
      {"Cookie: a=1; b=2; ", "Cookie: a=********; b=********; "},
      {"http://h/p?x=1&atkn=SECRET&cga=G", "http://h/p?x=1&atkn=********&cga=G"},
      {"Location: /r?ATKN=tok", "Location: /r?ATKN=********"},
      {"atkn=", "atkn="},
      {"login.password=hunter2\r\nlogin.user=ann", "login.password=********\r\nlogin.user=ann"},
      {"sess.AuthToken=abc.def", "sess.AuthToken=********"},
      {"nothing secret here", "nothing secret here"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(maskSecrets(c.in), c.out);
  }
}

TEST(TraceMask, BodyExcerptIsShortAndPrintable) {
  using vexo::tracemask::bodyExcerpt;
  const std::string raw = std::string("ok\0\x01\xff", 5) + "\r\nSet-Cookie: s=1";
  const std::vector<unsigned char> body(raw.begin(), raw.end());
  EXPECT_EQ(bodyExcerpt(body), "ok.....Set-Cookie: s=********");
  const std::vector<unsigned char> big(10000, 'x');
  EXPECT_EQ(bodyExcerpt(big, 10), "xxxxxxxxxx... (10000 bytes)");
  EXPECT_EQ(bodyExcerpt({}), "");
  const std::string answer = "ret=0\r\nlogin.authToken=SECRET.TOKEN\r\nx=1";
  EXPECT_EQ(bodyExcerpt(std::vector<unsigned char>(answer.begin(), answer.end())),
            "ret=0..login.authToken=********..x=1");
}

}  // namespace
}  // namespace vexotest
