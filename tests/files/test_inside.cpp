// The "stays inside" rule and link resolution shared by the extractors and the engine.
#include "files/inside.h"

#include <unistd.h>

#include "files_test_util.h"

namespace {

TEST(PathInside, ComparesWholeFolderNames) {
  struct row {
    const char* root;
    const char* path;
    bool inside;
  };
  const row rows[] = {
      {"/a/b", "/a/b", true},     {"/a/b", "/a/b/c", true},   {"/a/b/", "/a/b/c/", true},
      {"/a/b", "/a/bc", false},   {"/a/b", "/a", false},      {"/a/b", "/", false},
      {"/", "/anything", true},   {"/", "/", true},           {"/a/b", "a/b/c", false},
      {"/a/b", "/a/b/../x", true},  // resolved paths only: ".." is taken as a name
  };
  for (const auto& r : rows) EXPECT_EQ(path_inside(r.root, r.path), r.inside) << r.root << " " << r.path;
}

class LinkResolution : public ScratchDir {};

TEST_F(LinkResolution, FollowsLinksOnDiskAndTakesMissingPartsAsNames) {
  mkdirs(path("d/sub"));
  char* real = ::realpath(path("d").c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  const std::string d = real;
  ::free(real);
  ASSERT_EQ(::symlink(".", (d + "/dot").c_str()), 0);
  ASSERT_EQ(::symlink("loop2", (d + "/loop1").c_str()), 0);
  ASSERT_EQ(::symlink("loop1", (d + "/loop2").c_str()), 0);
  std::string out;
  ASSERT_TRUE(resolve_link_text(d + "/sub", "../dot/dot/missing/x", &out));
  EXPECT_EQ(out, d + "/missing/x");
  ASSERT_TRUE(resolve_link_text(d, "dot/..", &out));
  EXPECT_EQ(out, d.substr(0, d.find_last_of('/')));
  EXPECT_FALSE(resolve_link_text(d, "loop1", &out));

  ASSERT_EQ(::symlink("sub", (d + "/fine").c_str()), 0);
  ASSERT_EQ(::symlink("not/yet/there", (d + "/dangling").c_str()), 0);
  ASSERT_EQ(::symlink("..", (d + "/sub/up").c_str()), 0);
  ASSERT_EQ(::symlink("dot/..", (d + "/out").c_str()), 0);
  EXPECT_TRUE(link_resolves_inside(d, d + "/fine"));
  EXPECT_TRUE(link_resolves_inside(d, d + "/dangling"));
  EXPECT_FALSE(link_resolves_inside(d, d + "/dot"));      // its own folder
  EXPECT_FALSE(link_resolves_inside(d, d + "/sub/up"));   // an ancestor
  EXPECT_FALSE(link_resolves_inside(d, d + "/out"));      // outside
  EXPECT_FALSE(link_resolves_inside(d, d + "/loop1"));    // goes round
  EXPECT_FALSE(link_resolves_inside(d, d + "/sub"));      // not a link
}

}  // namespace
