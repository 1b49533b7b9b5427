#pragma once

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

namespace tavo::memofs {

// The lists are ordered as by the classic exchange sort
//   for i, for j > i: if key[i] > key[j] swap(i, j)
// which is not stable: among equal keys it leaves an order of its own that
// stored indexes and users' listings already show. When all keys differ that
// order is simply ascending, so a fast sort gives it; otherwise the exchange
// sort runs on integer ranks, which keeps 16384 entries well under a second.
template <typename T, typename Key>
void ExchangeSortOrder(std::vector<T>& items, Key key) {
  const std::size_t n = items.size();
  if (n < 2) return;
  std::vector<std::string> keys;
  keys.reserve(n);
  for (const T& item : items) keys.push_back(key(item));

  std::vector<std::size_t> by_key(n);
  std::iota(by_key.begin(), by_key.end(), std::size_t{0});
  std::sort(by_key.begin(), by_key.end(),
            [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  std::vector<std::size_t> rank(n);
  bool duplicates = false;
  for (std::size_t k = 0, r = 0; k < n; ++k) {
    if (k > 0 && keys[by_key[k]] != keys[by_key[k - 1]]) ++r;
    if (k > 0 && keys[by_key[k]] == keys[by_key[k - 1]]) duplicates = true;
    rank[by_key[k]] = r;
  }

  std::vector<std::size_t> order;
  if (!duplicates) {
    order = std::move(by_key);
  } else {
    order.resize(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    for (std::size_t i = 0; i + 1 < n; ++i) {
      std::size_t held = rank[order[i]];
      for (std::size_t j = i + 1; j < n; ++j) {
        if (held > rank[order[j]]) {
          std::swap(order[i], order[j]);
          held = rank[order[i]];
        }
      }
    }
  }

  std::vector<T> sorted;
  sorted.reserve(n);
  for (std::size_t index : order) sorted.push_back(std::move(items[index]));
  items = std::move(sorted);
}

}  // namespace tavo::memofs
