#include "util/nearest_name.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

int edit_distance(const std::string& a, const std::string& b, int limit) {
  if (std::abs(int(a.size()) - int(b.size())) > limit) return limit + 1;
  if (b.size() > kMaxWord + 2) return limit + 1;
  // Three rolling rows (a transposition looks two rows back); no allocation, as unknown names
  // may be reported once per evaluated point.
  int rows[3][kMaxWord + 3];
  int *back2 = rows[0], *back = rows[1], *row = rows[2];
  for (size_t j = 0; j <= b.size(); ++j) back[j] = int(j);
  for (size_t i = 1; i <= a.size(); ++i) {
    row[0] = int(i);
    for (size_t j = 1; j <= b.size(); ++j) {
      row[j] = std::min({back[j] + 1, row[j - 1] + 1, back[j - 1] + (a[i - 1] != b[j - 1])});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) row[j] = std::min(row[j], back2[j - 2] + 1);
    }
    std::swap(back2, back);
    std::swap(back, row);
  }
  return std::min(back[b.size()], limit + 1);
}

NearestName::NearestName(const std::string& word)
    : mWord(word), mLimit(word.size() < 3 || word.size() > kMaxWord ? -1 : word.size() < 6 ? 1 : 2),
      mBestDistance(mLimit + 1) {}

void NearestName::consider(const std::string& name) {
  if (mLimit < 0 || name == mWord) return;
  // A name that differs only in case ("SIN" for "sin") is the nearest there can be.
  const bool same_letters = name.size() == mWord.size() &&
                            std::equal(name.begin(), name.end(), mWord.begin(), [](char a, char b) {
                              return std::tolower((unsigned char)a) == std::tolower((unsigned char)b);
                            });
  const int d = same_letters ? 0 : edit_distance(mWord, name, mLimit);
  if (d < mBestDistance) mBestDistance = d, mBest = name;
}

std::string NearestName::hint() const { return mBest.empty() ? "" : "\ndid you mean '" + mBest + "'?"; }
