// nearest_name: the known name a mistyped word most likely meant, for "did you mean" hints.
#pragma once

#include <cstddef>
#include <string>

// Longer words get no suggestion.
constexpr size_t kMaxWord = 64;

// Edits (insert, delete, replace, swap of neighbours) that turn `a` into `b`, or limit + 1
// when more are needed.
int edit_distance(const std::string& a, const std::string& b, int limit);

// Collects candidates and keeps the nearest to `word`: at most one edit for words under six
// letters, two from six on, and any name that differs only in case; words under three letters
// get no suggestion. The first of equally near candidates wins.
class NearestName {
public:
  explicit NearestName(const std::string& word);
  void consider(const std::string& name);
  const std::string& best() const { return mBest; }  // empty when none was near enough
  // "\ndid you mean 'NAME'?" or "".
  std::string hint() const;

private:
  std::string mWord, mBest;
  int mLimit, mBestDistance;
};
