#pragma once
// Lists with a separate count: entries below the count are valid, the rest are spare storage.

#include <cstddef>
#include <vector>

// Puts rec at index count (reusing a spare entry when there is one) and counts it.
template <class T>
void AppendRecord(std::vector<T>& list, int& count, const T& rec) {
    const auto at = static_cast<std::size_t>(count);
    if (at < list.size())
        list[at] = rec;
    else
        list.push_back(rec);
    ++count;
}

// Removes the entry at index; later entries move up by one. Out-of-range indexes do nothing.
template <class T>
bool RemoveRecord(std::vector<T>& list, int& count, int index) {
    if (index < 0 || index >= count || static_cast<std::size_t>(index) >= list.size())
        return false;
    list.erase(list.begin() + index);
    --count;
    return true;
}

// Empties the valid part of a list.
template <class T>
void ClearRecords(std::vector<T>& list, int& count) {
    list.clear();
    count = 0;
}
