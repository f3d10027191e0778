// Searches small Boolean circuits (AND, OR, XOR, AND-NOT, NOT) for the eight DES S-boxes
// and prints them as the header cryptlib/des/des_sbox_circuits.h. Not part of the library:
// run it again only to look for smaller circuits.
//
//   des_sbox_circuit_search [seconds per S-box] [exhaustive depth] \
//       > cryptlib/des/des_sbox_circuits.h
//
// Every function of the six inputs is a 64-bit truth table. An output is built by
// recursive decomposition on one input (the selector) with don't-care masks: the part
// where the selector is 0 and the part where it is 1 are built separately and joined by
// one of three multiplexer forms, reusing every gate already in the circuit. Selectors
// are tried exhaustively near the top and at random below; random restarts over output
// orders keep the smallest circuit found.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "cryptlib/des/des_tables.h"

namespace {

using Table = std::uint64_t;

enum class Op { kInput, kAnd, kOr, kXor, kAndNot, kNot };

struct Gate {
    Op op;
    int a;
    int b;
    Table table;
};

struct Circuit {
    std::vector<Gate> gates;
    int size() const { return static_cast<int>(gates.size()); }
    int Add(Op op, int a, int b) {
        const Table x = gates[static_cast<std::size_t>(a)].table;
        const Table y = b >= 0 ? gates[static_cast<std::size_t>(b)].table : 0;
        Table t = 0;
        switch (op) {
            case Op::kAnd:
                t = x & y;
                break;
            case Op::kOr:
                t = x | y;
                break;
            case Op::kXor:
                t = x ^ y;
                break;
            case Op::kAndNot:
                t = x & ~y;
                break;
            case Op::kNot:
                t = ~x;
                break;
            case Op::kInput:
                break;
        }
        gates.push_back({op, a, b, t});
        return size() - 1;
    }
};

// Input k (0-based, k = 0 is the first, most significant S-box input bit) as a table over
// the 64 input values.
Table InputTable(int k) {
    Table t = 0;
    for (int x = 0; x < 64; ++x) {
        if ((x >> (5 - k)) & 1)
            t |= Table{1} << x;
    }
    return t;
}

Table OutputTable(int box, int bit) {
    Table t = 0;
    for (int x = 0; x < 64; ++x) {
        const int row = ((x >> 4) & 2) | (x & 1);
        const int column = (x >> 1) & 15;
        const int value = kestrelvane::des_tables::kSBoxes[box][row * 16 + column];
        if ((value >> (3 - bit)) & 1)
            t |= Table{1} << x;
    }
    return t;
}

bool Matches(Table t, Table target, Table mask) {
    return ((t ^ target) & mask) == 0;
}

// A gate equal to target where mask is set, found or made with one new gate; -1 if none.
int FindOrOneGate(Circuit& c, Table target, Table mask) {
    const int n = c.size();
    for (int i = 0; i < n; ++i) {
        if (Matches(c.gates[static_cast<std::size_t>(i)].table, target, mask))
            return i;
    }
    std::vector<int> supersets;  // cover target: candidates for AND and the left of AND-NOT
    std::vector<int> subsets;    // inside target: candidates for OR
    std::vector<int> disjoint;   // outside target: candidates for the right of AND-NOT
    for (int i = 0; i < n; ++i) {
        const Table t = c.gates[static_cast<std::size_t>(i)].table;
        if ((target & ~t & mask) == 0)
            supersets.push_back(i);
        if ((t & ~target & mask) == 0)
            subsets.push_back(i);
        if ((t & target & mask) == 0)
            disjoint.push_back(i);
    }
    for (std::size_t x = 0; x < supersets.size(); ++x) {
        const Table tx = c.gates[static_cast<std::size_t>(supersets[x])].table;
        for (std::size_t y = x + 1; y < supersets.size(); ++y) {
            if (Matches(tx & c.gates[static_cast<std::size_t>(supersets[y])].table, target, mask))
                return c.Add(Op::kAnd, supersets[x], supersets[y]);
        }
        for (int d : disjoint) {
            if (Matches(tx & ~c.gates[static_cast<std::size_t>(d)].table, target, mask))
                return c.Add(Op::kAndNot, supersets[x], d);
        }
    }
    for (std::size_t x = 0; x < subsets.size(); ++x) {
        const Table tx = c.gates[static_cast<std::size_t>(subsets[x])].table;
        for (std::size_t y = x + 1; y < subsets.size(); ++y) {
            if (Matches(tx | c.gates[static_cast<std::size_t>(subsets[y])].table, target, mask))
                return c.Add(Op::kOr, subsets[x], subsets[y]);
        }
    }
    for (int i = 0; i < n; ++i) {
        const Table need = (c.gates[static_cast<std::size_t>(i)].table ^ target) & mask;
        for (int j = i + 1; j < n; ++j) {
            if ((c.gates[static_cast<std::size_t>(j)].table & mask) == need)
                return c.Add(Op::kXor, i, j);
        }
        if (Matches(~c.gates[static_cast<std::size_t>(i)].table, target, mask))
            return c.Add(Op::kNot, i, -1);
    }
    return -1;
}

struct Search {
    std::mt19937_64 random;
    int exhaustive_depth = 2;
    std::array<Table, 6> inputs{};

    // Makes c hold a gate equal to target on mask; returns its index.
    int Build(Circuit& c, Table target, Table mask, unsigned used, int depth) {
        const int direct = FindOrOneGate(c, target, mask);
        if (direct >= 0)
            return direct;
        std::vector<int> selectors;
        for (int k = 0; k < 6; ++k) {
            // A selector that the care mask does not split gains nothing.
            if (!(used & (1U << k)) && (mask & inputs[k]) != 0 && (mask & ~inputs[k]) != 0)
                selectors.push_back(k);
        }
        if (selectors.empty()) {
            // Cannot happen for a function of six inputs; keep the search total.
            std::fprintf(stderr, "no selector left\n");
            std::exit(1);
        }
        std::shuffle(selectors.begin(), selectors.end(), random);
        if (depth >= exhaustive_depth)
            selectors.resize(1);
        Circuit best;
        int best_gate = -1;
        for (int k : selectors) {
            for (int form = 0; form < 3; ++form) {
                Circuit trial = c;
                const int gate = Decompose(trial, target, mask, used | (1U << k), k, form, depth);
                if (best_gate < 0 || trial.size() < best.size()) {
                    best = std::move(trial);
                    best_gate = gate;
                }
            }
        }
        c = std::move(best);
        return best_gate;
    }

    int Decompose(Circuit& c, Table target, Table mask, unsigned used, int k, int form, int depth) {
        const int selector = k;  // inputs are gates 0..5
        const Table on = mask & inputs[k];
        const Table off = mask & ~inputs[k];
        switch (form) {
            case 0: {  // f0 ^ (s & g)
                const int f0 = Build(c, target, off, used, depth + 1);
                const Table rest = target ^ c.gates[static_cast<std::size_t>(f0)].table;
                const int g = Build(c, rest, on, used, depth + 1);
                const int and_gate = c.Add(Op::kAnd, g, selector);
                return c.Add(Op::kXor, f0, and_gate);
            }
            case 1: {  // f1 ^ (g & ~s)
                const int f1 = Build(c, target, on, used, depth + 1);
                const Table rest = target ^ c.gates[static_cast<std::size_t>(f1)].table;
                const int g = Build(c, rest, off, used, depth + 1);
                const int and_gate = c.Add(Op::kAndNot, g, selector);
                return c.Add(Op::kXor, f1, and_gate);
            }
            default: {  // (s & f1) | (f0 & ~s)
                const int f0 = Build(c, target, off, used, depth + 1);
                const int f1 = Build(c, target, on, used, depth + 1);
                const int high = c.Add(Op::kAnd, f1, selector);
                const int low = c.Add(Op::kAndNot, f0, selector);
                return c.Add(Op::kOr, high, low);
            }
        }
    }
};

struct Result {
    Circuit circuit;
    std::array<int, 4> outputs{};
};

// Keeps only the gates the outputs need, inputs first, in order of creation.
Result Prune(const Result& r) {
    std::vector<bool> live(r.circuit.gates.size(), false);
    for (int k = 0; k < 6; ++k)
        live[static_cast<std::size_t>(k)] = true;
    std::vector<int> stack(r.outputs.begin(), r.outputs.end());
    while (!stack.empty()) {
        const int g = stack.back();
        stack.pop_back();
        if (live[static_cast<std::size_t>(g)])
            continue;
        live[static_cast<std::size_t>(g)] = true;
        const Gate& gate = r.circuit.gates[static_cast<std::size_t>(g)];
        stack.push_back(gate.a);
        if (gate.b >= 0)
            stack.push_back(gate.b);
    }
    std::vector<int> renumber(r.circuit.gates.size(), -1);
    Result out;
    for (std::size_t i = 0; i < r.circuit.gates.size(); ++i) {
        if (!live[i])
            continue;
        Gate g = r.circuit.gates[i];
        if (g.a >= 0 && g.op != Op::kInput)
            g.a = renumber[static_cast<std::size_t>(g.a)];
        if (g.b >= 0)
            g.b = renumber[static_cast<std::size_t>(g.b)];
        renumber[i] = out.circuit.size();
        out.circuit.gates.push_back(g);
    }
    for (int t = 0; t < 4; ++t)
        out.outputs[static_cast<std::size_t>(t)] =
            renumber[static_cast<std::size_t>(r.outputs[static_cast<std::size_t>(t)])];
    return out;
}

Result SearchBox(int box, double seconds, int exhaustive_depth, std::uint64_t seed) {
    Search search;
    search.random.seed(seed);
    search.exhaustive_depth = exhaustive_depth;
    Circuit start;
    for (int k = 0; k < 6; ++k) {
        search.inputs[static_cast<std::size_t>(k)] = InputTable(k);
        start.gates.push_back({Op::kInput, k, -1, InputTable(k)});
    }
    Result best;
    int best_size = 1 << 30;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::array<int, 4> order = {0, 1, 2, 3};
    int trials = 0;
    while (std::chrono::steady_clock::now() < deadline || trials == 0) {
        ++trials;
        std::shuffle(order.begin(), order.end(), search.random);
        Result r;
        r.circuit = start;
        for (int bit : order) {
            r.outputs[static_cast<std::size_t>(bit)] =
                search.Build(r.circuit, OutputTable(box, bit), ~Table{0}, 0, 0);
        }
        Result pruned = Prune(r);
        if (pruned.circuit.size() < best_size) {
            best_size = pruned.circuit.size();
            best = pruned;
            std::fprintf(stderr, "S%d: %d gates after %d trials\n", box + 1, best_size - 6, trials);
        }
    }
    return best;
}

std::string Operand(int g) {
    return g < 6 ? "x" + std::to_string(g + 1) : "t" + std::to_string(g);
}

void Print(int box, const Result& r) {
    std::printf("\n// S%d: %d gates.\ntemplate <typename V>\n", box + 1, r.circuit.size() - 6);
    std::printf(
        "[[gnu::always_inline]] constexpr void SBox%d(V x1, V x2, V x3, V x4, V x5, V x6, V& y1, "
        "V& y2, V& y3, V& y4) {\n",
        box + 1);
    for (int i = 6; i < r.circuit.size(); ++i) {
        const Gate& g = r.circuit.gates[static_cast<std::size_t>(i)];
        const std::string a = Operand(g.a);
        const std::string b = g.b >= 0 ? Operand(g.b) : "";
        const char* join = "";
        switch (g.op) {
            case Op::kAnd:
                join = " & ";
                break;
            case Op::kOr:
                join = " | ";
                break;
            case Op::kXor:
                join = " ^ ";
                break;
            case Op::kAndNot:
                join = " & ~";
                break;
            case Op::kNot:
            case Op::kInput:
                break;
        }
        if (g.op == Op::kNot)
            std::printf("    const V %s = ~%s;\n", Operand(i).c_str(), a.c_str());
        else if (g.op == Op::kInput)
            std::printf("    const V %s = ;\n", Operand(i).c_str());
        else
            std::printf("    const V %s = %s%s%s;\n", Operand(i).c_str(), a.c_str(), join,
                        b.c_str());
    }
    for (int t = 0; t < 4; ++t)
        std::printf("    y%d = %s;\n", t + 1,
                    Operand(r.outputs[static_cast<std::size_t>(t)]).c_str());
    std::printf("}\n");
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    const int exhaustive_depth = argc > 2 ? std::atoi(argv[2]) : 2;
    std::printf(
        "#pragma once\n\n"
        "// Gate circuits of the eight DES S-boxes for bitsliced evaluation, made by\n"
        "// cryptlib/des/tools/sbox_circuit_search.cpp; do not edit by hand. Inputs x1..x6 are\n"
        "// the six S-box input bits in the standard's order (x1 and x6 choose the row),\n"
        "// outputs y1..y4 the four output bits, y1 the most significant. V is any type with\n"
        "// the bitwise operators: one bit per block in every bit position.\n\n"
        "// clang-format off\n\n"
        "namespace kestrelvane::bitslice {\n");
    int total = 0;
    for (int box = 0; box < 8; ++box) {
        const Result r =
            SearchBox(box, seconds, exhaustive_depth, 1000 + static_cast<std::uint64_t>(box));
        total += r.circuit.size() - 6;
        Print(box, r);
    }
    std::printf("\n}  // namespace kestrelvane::bitslice\n\n// clang-format on\n");
    std::fprintf(stderr, "total %d gates, %.1f per S-box\n", total, total / 8.0);
    return 0;
}
