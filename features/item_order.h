// The user's item order applied to a list of items: items named in `itemOrder` come first, in
// that order (first occurrence counts); the rest follow in their incoming order. Ids in
// `itemOrder` that match no item are ignored (and stay stored, since items come and go).
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tucklet {

// `idOf` maps an item to its id text; by default the item's `id` member.
template <typename Item, typename IdOf>
std::vector<Item> orderedItems(std::vector<Item> items, const std::vector<std::string>& itemOrder,
                               IdOf idOf) {
  std::unordered_map<std::string, std::size_t> position;
  position.reserve(itemOrder.size());
  for (std::size_t i = 0; i < itemOrder.size(); ++i)
    position.try_emplace(itemOrder[i], i);

  std::vector<std::pair<std::size_t, std::size_t>> ranks;  // (rank, index in `items`)
  ranks.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    const auto found = position.find(std::invoke(idOf, std::as_const(items[i])));
    ranks.emplace_back(found != position.end() ? found->second : itemOrder.size() + i, i);
  }
  // Ranks can tie (two items with one id); the index keeps such ties in incoming order.
  std::sort(ranks.begin(), ranks.end());

  std::vector<Item> result;
  result.reserve(items.size());
  for (const auto& [rank, index] : ranks)
    result.push_back(std::move(items[index]));
  return result;
}

template <typename Item>
std::vector<Item> orderedItems(std::vector<Item> items, const std::vector<std::string>& itemOrder) {
  return orderedItems(std::move(items), itemOrder,
                      [](const Item& item) -> const std::string& { return item.id; });
}

}  // namespace tucklet
