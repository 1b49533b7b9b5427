#include "memofs/exchange_sort.h"

#include <algorithm>
#include <numeric>

namespace tavo::memofs {

namespace {

// Counts marked positions below a bound, each step in O(log n) (a Fenwick tree).
class MarkedCount {
 public:
  explicit MarkedCount(std::size_t n) : tree_(n + 1, 0) {}
  void Mark(std::size_t position) {
    for (std::size_t i = position + 1; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
  }
  // Marked positions in [0, end).
  std::size_t Below(std::size_t end) const {
    std::size_t count = 0;
    for (std::size_t i = end; i > 0; i -= i & (~i + 1)) count += tree_[i];
    return count;
  }

 private:
  std::vector<std::size_t> tree_;
};

}  // namespace

// Why this is the exchange sort's order. Pass i holds item i and swaps in each
// later item smaller than the one it holds, so only that chain of ever
// smaller items moves: each to the next one's place, the last (the first of
// the smallest) to position i.
// 1. Larger items never change how smaller ones move. So the items with keys
//    up to k move among themselves as the exchange sort of just those items
//    would move them, and the items of key k end in the order that sort
//    gives them, in which they are the largest.
// 2. A largest item joins a chain only when the pass starts on it; it then
//    goes to the first smaller item after it, past the equal ones between.
//    So from the first one the passes reach, the items of key k roll on as
//    one run: it takes in each next one as it reaches it, and each smaller
//    item it passes (up to the end) turns it by one, front to back.
std::vector<std::size_t> ExchangeSortPermutation(const std::vector<std::string>& keys) {
  const std::size_t n = keys.size();
  // Equal keys keep their input order here: each group lists its items as they stood.
  std::vector<std::size_t> by_key(n);
  std::iota(by_key.begin(), by_key.end(), std::size_t{0});
  std::stable_sort(by_key.begin(), by_key.end(),
                   [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });

  std::vector<std::size_t> order;
  order.reserve(n);
  MarkedCount smaller(n);  // input positions of the items with smaller keys
  std::vector<std::size_t> run;
  for (std::size_t first = 0; first < n;) {
    std::size_t last = first + 1;
    while (last < n && keys[by_key[last]] == keys[by_key[first]]) ++last;
    if (last - first == 1) {
      order.push_back(by_key[first]);
    } else {
      // The run as a ring read from `front`: joining at the back is an
      // insertion just before the front.
      run.clear();
      std::size_t front = 0;
      for (std::size_t k = first; k < last; ++k) {
        const std::size_t at = by_key[k];
        const std::size_t next = k + 1 < last ? by_key[k + 1] : n;
        run.insert(run.begin() + static_cast<std::ptrdiff_t>(front), at);
        const std::size_t passed = smaller.Below(next) - smaller.Below(at + 1);
        front = (front + 1 + passed) % run.size();
      }
      for (std::size_t k = 0; k < run.size(); ++k) order.push_back(run[(front + k) % run.size()]);
    }
    for (std::size_t k = first; k < last; ++k) smaller.Mark(by_key[k]);
    first = last;
  }
  return order;
}

}  // namespace tavo::memofs
