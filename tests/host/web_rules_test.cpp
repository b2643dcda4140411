#include <gtest/gtest.h>

#include "host/core/file_url.h"
#include "host/core/resources.h"
#include "host/server/page_injection.h"
#include "host/server/security.h"

namespace kl::host {
namespace {

TEST(FileUrl, DecodesEachSegmentAndKeepsTheSuffix) {
    auto u = parseFileUrl("file:///tmp/Temp%20Dir/Za%C5%BC%C3%B3%C5%82%C4%87%23%25/web/map.html?x=1#top");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->path, "/tmp/Temp Dir/Zażółć#%/web/map.html");
    EXPECT_EQ(u->suffix, "?x=1#top");
    EXPECT_TRUE(parseFileUrl("FILE://localhost/a/b.html"));
    EXPECT_FALSE(parseFileUrl("http://127.0.0.1/a.html"));
    EXPECT_FALSE(parseFileUrl("file://relative/a.html"));
    EXPECT_FALSE(parseFileUrl("file:///a%2"));
    EXPECT_FALSE(parseFileUrl("file:///a%00b"));
}

TEST(Resources, StringListsEndAtAnEmptyString) {
    const unsigned char list[] = "a\0bc\0\0ignored\0";
    EXPECT_EQ(splitStringList(list, sizeof list), (std::vector<std::string>{"a", "bc"}));
    const unsigned char unterminated[] = {'x', 0, 'y', 'z'};
    EXPECT_EQ(splitStringList(unterminated, 4), (std::vector<std::string>{"x", "yz"}));
    EXPECT_FALSE(parseDialog("{\"title\":\"x\"}"));  // no size
    EXPECT_FALSE(parseDialog("not json"));
    auto d = parseDialog(R"({"title":"Geodrop","width":900,"height":600,"items":[{"type":"browser","w":900,"h":600}]})");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->items.at(0).height, 600);
}

// The host, origin and token rules are checked request by request in the
// server's security tests; here what no request can show.
TEST(Security, TokensDifferAndAnEmptyOneMatchesNothing) {
    const std::string t = makeToken();
    EXPECT_EQ(t.size(), 32u);
    EXPECT_NE(t, makeToken());
    EXPECT_FALSE(tokenMatches("", ""));
    EXPECT_FALSE(allowedHost("", 8080));
}

TEST(PageInjection, GoesBehindTheDoctypeOrFirst) {
    EXPECT_EQ(injectIntoHtml("<!doctype html>\n<p>", "<s>"), "<!doctype html><s>\n<p>");
    EXPECT_EQ(injectIntoHtml("<html><p>", "<s>"), "<s><html><p>");
    EXPECT_EQ(injectIntoHtml("", "<s>"), "<s>");
    // names cannot break out of the inline script
    const std::string s = browserScript("/t/x/bx/1/</script>", {});
    EXPECT_EQ(s.find("</script>"), s.size() - 9);
}

}  // namespace
}  // namespace kl::host
