// Differential runs of expression evaluators: everything a user could observe of one
// evaluation (value bits, messages, parameters afterwards, a thrown text), so two ways of
// evaluating the same text can be compared from the same starting state.
#pragma once

#include "script/parameters.h"
#include "util/message.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct EvaluationOutcome {
  std::uint64_t bits = 0;          // the value bit for bit: -0.0 and NaN signs count
  std::vector<std::string> shown;  // "<kind>: <text>" of every message, in order
  std::map<std::string, double> params;
  std::string thrown;
};

// Runs `evaluate` and collects what it left behind; the sink is emptied first.
template <class Evaluate>
EvaluationOutcome observe_evaluation(CaptureSink& sink, Evaluate evaluate) {
  EvaluationOutcome out;
  sink.clear();
  try {
    out.bits = std::bit_cast<std::uint64_t>(evaluate());
  } catch (const char* text) {
    out.thrown = text;
  }
  for (const auto& e : sink.entries) out.shown.push_back(e.kind + ": " + e.text);
  out.params = gParameters;
  return out;
}

inline void expect_same_outcome(const EvaluationOutcome& got, const EvaluationOutcome& want) {
  EXPECT_EQ(got.bits, want.bits) << std::bit_cast<double>(got.bits) << " vs " << std::bit_cast<double>(want.bits);
  EXPECT_EQ(got.shown, want.shown);
  EXPECT_EQ(got.thrown, want.thrown);
  EXPECT_EQ(got.params.size(), want.params.size());
  for (const auto& [name, value] : want.params) {
    auto it = got.params.find(name);
    ASSERT_NE(it, got.params.end()) << name;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(it->second), std::bit_cast<std::uint64_t>(value)) << name;
  }
}
