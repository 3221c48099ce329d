// The message interface: location prefixes, headless answers, capture; progress lines.
#include "util/message.h"
#include "util/progress.h"

#include <gtest/gtest.h>

#include <memory>

TEST(Message, BatchSinkPrefixesFileAndLineAndAnswersTheDefault) {
  BatchSink s;
  testing::internal::CaptureStderr();
  s.alert({"box.vmf", 7}, "first\nsecond");
  s.alert({"", 5}, "no script");
  s.alert({"out.dvk", 0}, "whole file");
  EXPECT_EQ(s.choice({"a.vmf", 3}, "did not find x\nWould you like a list?", {"No <esc>", "Yes"}, 0), 0);
  s.show_list("head\n@b@cfunctions\nsin\n", "Allowed Functions");  // format codes dropped
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "box.vmf:7: first\nbox.vmf:7: second\npelgrove: no script\nout.dvk: whole file\n"
            "a.vmf:3: did not find x\n"
            "pelgrove: Allowed Functions:\n  head\n  functions\n  sin\n");
}

// Warnings and alerts reached through library calls: the message, then one note per level.
TEST(Message, BatchLinesCarryWarningTagAndNotesInnermostFirst) {
  testing::internal::CaptureStderr();
  {
    BatchSink s;
    MessageContextGuard outer({"model.vmf", 14}, "in 'ring', called from here");
    MessageContextGuard inner({"lib.vmf", 2}, "in 'arc', called from here");
    s.warning({"lib.vmf", 7}, "ignored '<'");
    s.alert({"lib.vmf", 7}, "bad");
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "lib.vmf:7: warning: ignored '<'\n"
            "lib.vmf:2: note: in 'arc', called from here\n"
            "model.vmf:14: note: in 'ring', called from here\n"
            "lib.vmf:7: bad\n"
            "lib.vmf:2: note: in 'arc', called from here\n"
            "model.vmf:14: note: in 'ring', called from here\n");
  EXPECT_TRUE(message_notes().empty());
}

TEST(Message, DeepNestingShowsTenNotesAndACount) {
  std::vector<std::unique_ptr<MessageContextGuard>> levels;
  for (int i = 1; i <= 12; ++i) levels.push_back(std::make_unique<MessageContextGuard>(MessageLocation{"m.vmf", i}, "x"));
  std::string notes = format_notes(message_notes());
  EXPECT_EQ(notes.find("m.vmf:12: note: x\n"), 0u);
  EXPECT_NE(notes.find("m.vmf:3: note: x\n"), std::string::npos);
  EXPECT_EQ(notes.find("m.vmf:2: note: x\n"), std::string::npos);
  EXPECT_NE(notes.find("m.vmf:1: note: (2 more levels)\n"), std::string::npos);
}

// Messages reach the installed sink with the current location. Within a run, a repeated alert
// is shown three times and summarised once; a warning is shown once; all are counted.
// Different places are different messages.
TEST(Message, RepeatsWithinARunAreSummarisedAtItsEnd) {
  CaptureSink sink;
  set_message_sink(&sink);
  reset_alert_count();
  begin_message_run();
  for (int i = 0; i < 5; ++i) {
    set_message_location({"s.vmf", 4});
    alert("same");
    warning("quirk");
    set_message_location({"s.vmf", 5});
    warning("quirk");
  }
  end_message_run();
  {
    MessageLocationGuard guard;
    set_message_location({"lib.vmf", 12});
    alert("value %d of '%s'", 3, "x");
  }
  alert("after the run");
  alert("after the run");
  sink.answer = 1;
  EXPECT_EQ(ask_choice("q?", {"No", "Yes"}, 0), 1);
  set_message_sink(nullptr);
  set_message_location({});
  std::vector<std::string> seen;
  for (const auto& e : sink.entries)
    seen.push_back(e.kind + " " + e.where.file + ":" + std::to_string(e.where.line) + " " + e.text);
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "alert s.vmf:4 same", "warning s.vmf:4 quirk", "warning s.vmf:5 quirk", "alert s.vmf:4 same",
                      "alert s.vmf:4 same", "alert s.vmf:4 same (repeated 2 more times)",
                      "alert lib.vmf:12 value 3 of 'x'", "alert s.vmf:5 after the run", "alert s.vmf:5 after the run",
                      "choice s.vmf:5 q?"}));
  EXPECT_EQ(alert_count(), 8);
  EXPECT_EQ(warning_count(), 10);
}

TEST(Progress, LineText) {
  const struct { const char* what; const char* unit; long count, total; double seconds; const char* line; } cases[] = {
      {"running a.vmf", "commands", 1234, 0, 1.04, "pelgrove: running a.vmf: 1.0 s, 1234 commands"},
      {"merging", "points", 2400000, 4000000, 3.06, "pelgrove: merging: 3.1 s, 2400000 of 4000000 points"},
      {"merging", "points", 0, 4000000, 1.5, "pelgrove: merging: 1.5 s"},  // nothing counted yet
      {"writing out.dvk", "", 0, 0, 12.25, "pelgrove: writing out.dvk: 12.2 s"},
  };
  for (const auto& c : cases) EXPECT_EQ(progress_line(c.what, c.unit, c.count, c.total, c.seconds), c.line);
}

// Long words are cut to their first characters and their length; blanks and short words stay.
TEST(Message, LongWordsAreCut) {
  const std::string w160(160, 'a'), w161(161, 'b'), utf8 = std::string(99, 'c') + "\xc3\xa9" + std::string(100, 'c');
  const std::pair<std::string, std::string> rows[] = {
      {"two  words\n\tand lines", "two  words\n\tand lines"},
      {"'" + w160 + "' x", "'" + std::string(99, 'a') + "...(162 characters) x"},
      {w160, w160},
      {w161 + "\n" + w161, std::string(100, 'b') + "...(161 characters)\n" + std::string(100, 'b') + "...(161 characters)"},
      {utf8, std::string(99, 'c') + "...(201 characters)"},  // never half a character
  };
  for (const auto& [text, shown] : rows) EXPECT_EQ(cut_long_words(text), shown);
}
