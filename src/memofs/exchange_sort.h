#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tavo::memofs {

// The order in which the classic exchange sort
//   for i, for j > i: if key[i] > key[j] swap(i, j)
// leaves items with these keys: result[k] is the input index of the item that
// ends at position k. That sort is not stable: among equal keys it leaves an
// order of its own that stored indexes and users' listings already show. This
// gives the same order in O(n log n) (see exchange_sort.cpp).
std::vector<std::size_t> ExchangeSortPermutation(const std::vector<std::string>& keys);

template <typename T, typename Key>
void ExchangeSortOrder(std::vector<T>& items, Key key) {
  if (items.size() < 2) return;
  std::vector<std::string> keys;
  keys.reserve(items.size());
  for (const T& item : items) keys.push_back(key(item));
  std::vector<T> sorted;
  sorted.reserve(items.size());
  for (std::size_t index : ExchangeSortPermutation(keys)) sorted.push_back(std::move(items[index]));
  items = std::move(sorted);
}

}  // namespace tavo::memofs
