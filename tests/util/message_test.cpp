// The message interface: location prefixes, headless answers, capture.
#include "util/message.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {
std::string batch_output(const std::function<void(BatchSink&)>& f) {
  std::stringstream buf;
  auto* old = std::cerr.rdbuf(buf.rdbuf());
  BatchSink sink;
  f(sink);
  std::cerr.rdbuf(old);
  return buf.str();
}
}  // namespace

TEST(Message, BatchAlertPrefixesEveryLineWithFileAndLine) {
  EXPECT_EQ(batch_output([](BatchSink& s) { s.alert({"box.vmf", 7}, "first\nsecond"); }),
            "box.vmf:7: first\nbox.vmf:7: second\n");
  EXPECT_EQ(batch_output([](BatchSink& s) { s.alert({"", 0}, "no script"); }), "pelgrove: no script\n");
}

TEST(Message, BatchQuestionPrintsFirstLineAndTakesDefault) {
  int answer = -1;
  std::string out = batch_output([&](BatchSink& s) {
    answer = s.choice({"a.vmf", 3}, "did not find x\nWould you like a list?", {"No <esc>", "Yes"}, 0);
  });
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(out, "a.vmf:3: did not find x\n");
}

TEST(Message, BatchListDropsFormatCodes) {
  std::string out = batch_output([](BatchSink& s) { s.show_list("head\n@b@cfunctions\nsin\n", "Allowed Functions"); });
  EXPECT_EQ(out, "pelgrove: Allowed Functions:\n  head\n  functions\n  sin\n");
}

TEST(Message, AlertsGoToTheInstalledSinkWithTheCurrentLocationAndAreCounted) {
  CaptureSink sink;
  set_message_sink(&sink);
  reset_alert_count();
  {
    MessageLocationGuard guard;
    set_message_location({"lib.vmf", 12});
    alert("value %d of '%s'", 3, "x");
  }
  EXPECT_EQ(message_location().file, "");
  sink.answer = 1;
  EXPECT_EQ(ask_choice("q?", {"No", "Yes"}, 0), 1);
  set_message_sink(nullptr);
  ASSERT_EQ(sink.entries.size(), 2u);
  EXPECT_EQ(sink.entries[0].text, "value 3 of 'x'");
  EXPECT_EQ(sink.entries[0].where.file, "lib.vmf");
  EXPECT_EQ(sink.entries[0].where.line, 12);
  EXPECT_EQ(alert_count(), 1);
}
