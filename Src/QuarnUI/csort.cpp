#include "csort.h"

#include "DateText.h"

#include <algorithm>

namespace {

int Sign(int value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

// The sign of first - second, without the overflow of the subtraction.
int Difference(std::int64_t first, std::int64_t second) {
    return first < second ? -1 : (first > second ? 1 : 0);
}

} // namespace

csort::Node::Node(std::int64_t itemData, const QString& text, int row)
    : itemData(itemData), text(text), row(row), hasStamp(false), stamp(0) {
    hasStamp = DateText::Parse(text, stamp);
}

int csort::Compare(const Node& a, const Node& b, int kind) {
    const int sign = kind < 0 ? -1 : 1;
    int result = 0;
    switch (kind < 0 ? -kind : kind) {
    case 1:
    case 4:
        result = Sign(QString::compare(a.text, b.text, Qt::CaseInsensitive));
        break;
    case 2:
        result = Difference(a.itemData, b.itemData);
        break;
    case 3:
        if (!a.hasStamp || !b.hasStamp) {
            return 0;
        }
        result = a.stamp < b.stamp ? -1 : 1;
        break;
    default:
        return 0;
    }
    return result * sign;
}

void csort::Sort(std::vector<Node>& nodes, int kind) {
    const std::size_t count = nodes.size();
    if (count < 2) {
        return;
    }
    std::vector<Node> buffer;
    buffer.reserve(count);
    // Bottom-up: merge runs of width 1, 2, 4, ... from `nodes` into `buffer`
    // and swap; on a tie the left run goes first.
    for (std::size_t width = 1; width < count; width *= 2) {
        buffer.clear();
        for (std::size_t left = 0; left < count; left += 2 * width) {
            const std::size_t middle = std::min(left + width, count);
            const std::size_t right = std::min(left + 2 * width, count);
            std::size_t i = left;
            std::size_t j = middle;
            while (i < middle && j < right) {
                if (Compare(nodes[i], nodes[j], kind) <= 0) {
                    buffer.push_back(std::move(nodes[i++]));
                } else {
                    buffer.push_back(std::move(nodes[j++]));
                }
            }
            while (i < middle) {
                buffer.push_back(std::move(nodes[i++]));
            }
            while (j < right) {
                buffer.push_back(std::move(nodes[j++]));
            }
        }
        nodes.swap(buffer);
    }
}
