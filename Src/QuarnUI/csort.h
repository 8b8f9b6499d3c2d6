#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Sorting of list rows by one column. While a sort runs, every row is a node
// holding its item data (the size in bytes) and its text in the sort column.
//
// Sort kinds: 1 name and 4 attributes compare the texts without regard to
// letter case, 2 size compares the item data, 3 date compares the time stamps
// read back from the texts. A negative kind sorts in descending order.
class csort {
public:
    struct Node {
        Node(std::int64_t itemData, const QString& text, int row);

        std::int64_t itemData;
        QString text;
        // The row's position before the sort.
        int row;
        // The text read as a time stamp, for the date sort.
        bool hasStamp;
        std::int64_t stamp;
    };

    // Negative, 0 or positive as `a` belongs before, beside or after `b`.
    // Dates: 0 when either text is no time stamp; otherwise -1 when `a` is
    // earlier and +1 when it is not, so equal stamps never compare equal.
    static int Compare(const Node& a, const Node& b, int kind);

    // Orders `nodes` by Compare. A merge sort: it needs no strict ordering
    // (the date comparison is none), always ends and always yields a
    // permutation, in O(n log n) comparisons.
    static void Sort(std::vector<Node>& nodes, int kind);
};
