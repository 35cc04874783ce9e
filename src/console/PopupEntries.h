#pragma once

#include <algorithm>
#include <optional>
#include <vector>

namespace orvane {

// The console's popups list items behind a header: entry 0 is the header, entry i + 1 stands
// for list[i].

// The entry that stands for `item`; the header when the item is not listed.
template <typename T>
int popupEntryOf(const std::vector<T>& list, const T& item) {
    auto found = std::find(list.begin(), list.end(), item);
    return found == list.end() ? 0 : static_cast<int>(found - list.begin()) + 1;
}

// The item that popup entry `entry` stands for; none for the header or an entry past the list.
template <typename T>
std::optional<T> itemOfPopupEntry(const std::vector<T>& list, int entry) {
    if (entry < 1 || static_cast<std::size_t>(entry - 1) >= list.size()) return std::nullopt;
    return list[static_cast<std::size_t>(entry - 1)];
}

}  // namespace orvane
