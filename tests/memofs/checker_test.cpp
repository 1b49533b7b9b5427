#include "memofs/checker.h"

#include <gtest/gtest.h>

namespace tavo::memofs {
namespace {

std::map<std::string, std::string> CleanStore() {
  return {
      {"fs0",
       "D 0 0 0 docs F 1 100 1 a\xff"
       "b "},
      {"fs0_0", "F 0 0 0 empty F 1 0 1 exact "},
      {"fs0_0_0_0", ""},
      {"fs0_0_1_0", std::string(1956, 'x')},
      {"fs0_0_1_1", ""},
      {"fs0_1_0", std::string(1956, 'y')},
      {"fs0_1_1", std::string(100, 'z')},
      {"shopping", "plain memos are not the file system's"},
  };
}

TEST(Checker, CleanStoreHasNoProblemsOrOrphans) {
  const CheckReport report = CheckMemoFileSystem(CleanStore());
  EXPECT_TRUE(report.Clean()) << report.problems.front();
  EXPECT_TRUE(report.orphans.empty());
  EXPECT_EQ(report.Summary(), "2 directories, 3 files, 5 parts, 0 problems, 0 orphans");

  auto store = CleanStore();
  store.erase("fs0_0_1_1");  // an empty last part other clients leave out
  EXPECT_TRUE(CheckMemoFileSystem(store).Clean());
}

TEST(Checker, FindsEveryKindOfDamage) {
  auto store = CleanStore();
  store.erase("fs0_1_0");                        // part missing
  store["fs0_0_1_0"] = "short";                  // wrong length
  store["fs0"] += "D 0 0 5 gone F 0 1 5 twin ";  // index missing, number used twice
  store["fs0_9_0"] = "left behind";              // orphan
  const CheckReport report = CheckMemoFileSystem(store);
  EXPECT_EQ(report.problems.size(), 5u);  // and the twin's part
  EXPECT_EQ(report.orphans, std::vector<std::string>{"fs0_9_0"});

  EXPECT_FALSE(CheckMemoFileSystem({{"fs0", "F 0 1 0 cut F 0"}}).Clean());
  EXPECT_FALSE(CheckMemoFileSystem({}).Clean());  // no root index at all
}

}  // namespace
}  // namespace tavo::memofs
