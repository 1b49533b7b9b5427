#include "link/exchanges.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fake_port.h"

namespace tavo::link {
namespace {

struct ExchangeFixture : ::testing::Test {
  testing::FakeClock clock;
  testing::FakePort port{clock};
  testing::RecordingHost host;
  SerialLink link{port, clock, host};
  void SetUp() override { ASSERT_EQ(link.OpenPort(2, 2), 0); }
};

TEST_F(ExchangeFixture, DirReadsTheNamesAndTheClosingWord) {
  port.Arrive("2\nfs0\nshopping\nOK\n");
  std::vector<std::string> names;
  const DirResult result = DirExchange(link, [&](const std::string& name, bool is_name) {
    if (is_name) names.push_back(name);
    return true;
  });
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(names, (std::vector<std::string>{"fs0", "shopping"}));
  EXPECT_EQ(port.written, "dir\n");

  port.Arrive("0\nok\n");
  EXPECT_TRUE(DirExchange(link, [](const std::string&, bool) { return true; }).ok);
}

TEST_F(ExchangeFixture, DirWithoutACountLineFailsAfterOneLimit) {
  const double t = clock.Now();
  EXPECT_FALSE(DirExchange(link, [](const std::string&, bool) { return true; }).ok);
  EXPECT_NEAR(clock.Now() - t, 12.0, 0.1);
}

TEST_F(ExchangeFixture, GetInAnyCaseWithAnEmptyText) {
  port.Arrive("FOUND\n0\nOK\n");
  GetResult result = GetExchange(link, "fs0");
  EXPECT_EQ(result.found, Word::kExpected);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.text, "");
  EXPECT_EQ(port.written, "get fs0\n");
}

TEST_F(ExchangeFixture, GetTellsMissingFromSilenceAndShortBlocks) {
  port.Arrive("nothing\n");
  EXPECT_EQ(GetExchange(link, "x").found, Word::kOther);
  EXPECT_EQ(GetExchange(link, "x").found, Word::kTimedOut);  // silence is not "missing"

  port.Arrive("found\n5\nab");
  GetResult result = GetExchange(link, "x");
  EXPECT_EQ(result.found, Word::kExpected);
  EXPECT_FALSE(result.ok);
}

TEST_F(ExchangeFixture, GetxAsksForTheCountAndSkipsItForEmptyParts) {
  port.Arrive("found\nok\nabc\nok\n");
  GetxResult result = GetxExchange(link, "fs0_1_0", 4);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.block, "abc\n");
  EXPECT_EQ(port.written, "getx fs0_1_0\n4\n");

  port.written.clear();
  port.Arrive("found\n");
  EXPECT_TRUE(GetxExchange(link, "fs0_1_1", 0).ok);
  EXPECT_EQ(port.written, "getx fs0_1_1\n");

  port.Arrive("found\nok\nab");  // short block
  EXPECT_FALSE(GetxExchange(link, "fs0_1_0", 4).ok);
}

TEST_F(ExchangeFixture, PutSendsLineCountAndImage) {
  port.Arrive("ok\nok\nok\n");
  const std::string image("MEMO\xff\0x", 7);
  EXPECT_TRUE(PutExchange(link, "fs0", image));
  EXPECT_EQ(port.written, "put fs0\n7\n" + image);

  port.written.clear();
  port.Arrive("ok\nno\n");
  EXPECT_FALSE(PutExchange(link, "fs0", image));
  EXPECT_EQ(port.written, "put fs0\n7\n");  // the image is not sent after a refusal
}

TEST_F(ExchangeFixture, DelFoundOkOrGone) {
  port.Arrive("found\nok\n");
  DelResult result = DelExchange(link, "fs0_2");
  EXPECT_EQ(result.found, Word::kExpected);
  EXPECT_TRUE(result.ok);
  port.Arrive("no such memo\n");
  EXPECT_EQ(DelExchange(link, "fs0_2").found, Word::kOther);
  EXPECT_EQ(DelExchange(link, "fs0_2").found, Word::kTimedOut);
}

}  // namespace
}  // namespace tavo::link
