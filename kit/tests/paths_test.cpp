#include "kit/paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(MakeFullPath, JoinsRelativePathsAndRefusesOthers) {
  struct Case { const char* path; const char* result; };  // result "" = refused
  const Case cases[] = {
      {"dir/file.txt", "/base/dir/file.txt"},
      {"./dir/file.txt", "/base/dir/file.txt"},
      {".\\file.txt", "/base\\file.txt"},
      {".", "/base/"},
      {"../file.txt", ""},
      {".hidden", ""},
      {"", ""},
      {"\\\\server\\share", "\\\\server\\share"},
      {"C:\\x", "C:\\x"},
      {"C:/x", "C:/x"},
      {"/abs/x", "/abs/x"},
  };
  for (const Case& c : cases) {
    char path[260];
    std::strcpy(path, c.path);
    const char* r = kelda::kit::make_full_path(path, "/base", sizeof path);
    EXPECT_STREQ(r, c.result) << c.path;
    if (*c.result == 0) {
      EXPECT_STREQ(path, c.path) << "refused paths stay as they were";
    }
  }
}

TEST(MakeFullPath, RefusesResultsThatDoNotFit) {
  char path[260] = "file";
  const std::string base(255, 'b');  // base + '/' + "file" = 260 characters
  EXPECT_STREQ(kelda::kit::make_full_path(path, base.c_str(), sizeof path), "");
  EXPECT_STREQ(path, "file");
  char small[12] = "file";
  EXPECT_STREQ(kelda::kit::make_full_path(small, "/base/x", sizeof small), "");  // needs 13
  EXPECT_STREQ(kelda::kit::make_full_path(small, "/base", sizeof small), "/base/file");
  EXPECT_STREQ(kelda::kit::make_full_path(small, nullptr, sizeof small), "");
  EXPECT_STREQ(kelda::kit::make_full_path(small, "", sizeof small), "");
}

TEST(SplitPath, CutsAtTheLastSeparator) {
  char path[] = "/folder/file.txt";
  char dir[32], name[32];
  kelda::kit::split_path(path, dir, sizeof dir, name, sizeof name);
  EXPECT_STREQ(dir, "/folder");
  EXPECT_STREQ(name, "file.txt");
  EXPECT_STREQ(path, "/folder");  // the separator became the terminator

  char bare[] = "file.txt";
  kelda::kit::split_path(bare, dir, sizeof dir, name, sizeof name);
  EXPECT_STREQ(dir, "");
  EXPECT_STREQ(name, "file.txt");

  char mixed[] = "a/b\\name";
  char small[4];
  kelda::kit::split_path(mixed, small, sizeof small, name, sizeof name);
  EXPECT_STREQ(small, "a/b");
  EXPECT_STREQ(name, "name");
  kelda::kit::split_path(mixed, nullptr, 0, nullptr, 0);
}

TEST(WidePaths, MakeFull) {
  struct Case { const char16_t* path; const char16_t* base; const char16_t* result; };
  const Case cases[] = {
      {u"dir/f", u"/b", u"/b/dir/f"},   {u"dir/f", u"/b/", u"/b/dir/f"},
      {u"./f", u"/b", u"/b/f"},         {u".\\f", u"/b", u"/b/f"},
      {u"\\f", u"/b", u"/b/f"},         {u"/abs", u"/b", u"/abs"},
      {u"\\\\srv\\x", u"/b", u"\\\\srv\\x"}, {u"X:\\y", u"/b", u"X:\\y"},
  };
  for (const Case& c : cases) {
    char16_t path[kelda::kit::kMaxPath];
    std::u16string(c.path).copy(path, kelda::kit::kMaxPath);
    path[std::u16string(c.path).size()] = 0;
    EXPECT_EQ(kelda::kit::wpath_make_full(path, c.base), 1);
    EXPECT_EQ(std::u16string(path), c.result);
  }
  char16_t path[kelda::kit::kMaxPath] = u"file";
  const std::u16string base(255, u'b');
  EXPECT_EQ(kelda::kit::wpath_make_full(path, base.c_str()), 0);
  EXPECT_EQ(std::u16string(path), u"file");
  EXPECT_EQ(kelda::kit::wpath_make_full(path, u""), 0);
}

TEST(WidePaths, NamesAndExtensions) {
  struct Case { const char16_t* path; const char16_t* name; const char16_t* without_name; const char16_t* ext; };
  const Case cases[] = {
      {u"/a/b.txt", u"b.txt", u"/a", u"txt"},
      {u"/dir.d/file", u"file", u"/dir.d", u""},
      {u"a\\b.tar.gz", u"b.tar.gz", u"a", u"gz"},
      {u"X:name.x", u"name.x", u"", u"x"},
      {u"X:", u"", u"", u""},
      {u"plain", u"plain", u"", u""},
      {u"x.", u"x.", u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::u16string(kelda::kit::wpath_file_name(c.path)), c.name) << std::u16string(c.path).size();
    EXPECT_EQ(std::u16string(kelda::kit::wpath_extension(c.path)), c.ext);
    std::u16string cut = c.path;
    kelda::kit::wpath_remove_file_name(cut.data());
    EXPECT_EQ(std::u16string(cut.c_str()), c.without_name);
  }
  EXPECT_EQ(kelda::kit::wpath_file_name(nullptr), nullptr);
}

TEST(PathBridges, CodePagesBecomeUtf8Names) {
  EXPECT_EQ(kelda::kit::path_from_ansi("\xD1\xF7\xB8\xF2.txt").string(), "Счёт.txt");
  EXPECT_EQ(kelda::kit::path_from_wide(u"Счёт.txt").string(), "Счёт.txt");
  EXPECT_TRUE(kelda::kit::path_from_wide(nullptr).empty());
}

}  // namespace
