#include "codecs/deflate/Huffman.h"

#include <algorithm>
#include <vector>

#include "codecs/deflate/DeflateEngine.h"

namespace codecs {

namespace {

// A leaf (Symbol >= 0) or a package of two items of the previous list.
struct Node {
    uint64_t Weight;
    int Symbol;
    int Left;
    int Right;
};

void CountLeaves(const std::vector<Node>& nodes, int index, uint8_t* lengths) {
    // Packages nest at most `limit` deep, so recursion stays shallow.
    const Node& n = nodes[static_cast<size_t>(index)];
    if (n.Symbol >= 0) {
        ++lengths[n.Symbol];
        return;
    }
    CountLeaves(nodes, n.Left, lengths);
    CountLeaves(nodes, n.Right, lengths);
}

}  // namespace

void GenerateCodeLengths(int limit, const uint32_t* counts, int symbolCount, uint8_t* lengths) {
    ArcAssert(limit >= 1 && limit <= 15,
              "GenerateCodeLengths: the maximum code length should be in the range 1..15");
    ArcAssert(symbolCount >= 1 && symbolCount <= 286,
              "GenerateCodeLengths: the weight array must have 1..286 elements");
    std::fill(lengths, lengths + symbolCount, 0);
    std::vector<Node> nodes;
    std::vector<int> leaves;
    for (int s = 0; s < symbolCount; ++s)
        if (counts[s] > 0) {
            leaves.push_back(static_cast<int>(nodes.size()));
            nodes.push_back({counts[s], s, -1, -1});
        }
    const int n = static_cast<int>(leaves.size());
    if (n == 0) {
        lengths[0] = 1;
        return;
    }
    if (n == 1) {
        lengths[nodes[0].Symbol] = 1;
        return;
    }
    ArcAssert(n <= (1 << limit),
              "GenerateCodeLengths: the package-merge algorithm should always be feasible");
    std::stable_sort(leaves.begin(), leaves.end(),
                     [&](int a, int b) { return nodes[size_t(a)].Weight < nodes[size_t(b)].Weight; });
    std::vector<int> list = leaves;
    for (int level = 1; level < limit; ++level) {
        std::vector<int> packages;
        for (size_t i = 0; i + 1 < list.size(); i += 2) {
            packages.push_back(static_cast<int>(nodes.size()));
            nodes.push_back({nodes[size_t(list[i])].Weight + nodes[size_t(list[i + 1])].Weight, -1, list[i],
                             list[i + 1]});
        }
        std::vector<int> merged;
        merged.reserve(packages.size() + leaves.size());
        size_t p = 0, l = 0;
        while (p < packages.size() || l < leaves.size()) {
            // A package goes first only when strictly lighter than the next leaf.
            if (p < packages.size() &&
                (l == leaves.size() || nodes[size_t(packages[p])].Weight < nodes[size_t(leaves[l])].Weight))
                merged.push_back(packages[p++]);
            else
                merged.push_back(leaves[l++]);
        }
        list.swap(merged);
    }
    for (int i = 0; i < 2 * n - 2; ++i) CountLeaves(nodes, list[size_t(i)], lengths);
}

void MakeReversedCodes(const uint8_t* lengths, int symbolCount, uint16_t* codes) {
    int count[16] = {};
    for (int s = 0; s < symbolCount; ++s) ++count[lengths[s]];
    count[0] = 0;
    int next[16] = {};
    int code = 0;
    for (int len = 1; len <= 15; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    for (int s = 0; s < symbolCount; ++s) {
        int len = lengths[s];
        codes[s] = 0;
        if (!len) continue;
        uint32_t c = static_cast<uint32_t>(next[len]++);
        uint32_t r = 0;
        for (int i = 0; i < len; ++i) r |= ((c >> i) & 1u) << (len - 1 - i);
        codes[s] = static_cast<uint16_t>(r);
    }
}

}  // namespace codecs
