// JC stream encoder.
//
// Every code of the format has a fixed size in bits, so the cheapest stream is a shortest path
// over the input positions. The encoder:
//  1. finds, for every position, the matches worth knowing: the smallest offset for each longer
//     length (a binary tree per hash of 3-byte prefixes), and the smallest offset 1..127 for the
//     short match lengths 2..5;
//  2. runs a forward shortest-path parse whose arrivals carry lastOffset, so repeat matches are
//     priced from the path actually taken; literals, zero bytes, near copies, short matches,
//     repeat and new-offset matches and raw blocks are all edges;
//  3. chooses literal widths afterwards: an exact search over the literal sequence between
//     width 8 and width 7 with each of the 256 bases, switches priced by their code size; the
//     parse is then repeated with the literal prices that choice gives;
//  4. picks the index width: parses first at the width that codes the candidates' offsets in
//     the fewest bits, then at the widths the best parse's new matches, priced again, promise to
//     make smaller.
// The parse is most of the work and runs once per width tried and once per round of step 3; it
// keeps its state between runs, compares the costs of a run of lengths together (RelaxRun), and
// skips the lengths of a repeat that the same match from the position before already reached as
// cheaply. The search remembers what the position before found, so that it rarely compares the
// same bytes twice.

#include "jc_encoder.h"

#include <algorithm>
#include <cstring>

#include "skin/jc_stream.h"

namespace {

constexpr uint32_t Nice = 256;        // lengths beyond this are taken whole
constexpr uint32_t MaxDepth = 256;    // tree nodes looked at per position
constexpr uint32_t HashBits = 17;
constexpr uint32_t Infinite = 0x3FFFFFFF;
constexpr uint32_t RawBlockBits = 3 + 4 + 1 + 256 * 8 + 1;

uint32_t GammaBits(uint32_t v) { return 2u * uint32_t(31 - __builtin_clz(v)); }

uint32_t LengthAdjust(uint32_t offset) {
  return offset < 0x80 ? 4 : offset < 0x27F ? 0 : offset < 0x37FF ? 1 : offset < 0x10000 ? 2 : 3;
}

uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + uint32_t(__builtin_ctzll(x ^ y) >> 3);
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

struct Candidate {
  uint32_t length;
  uint32_t offset;
};

// Memory is laid out for the pages it touches: on the machines this runs on, a page's first touch
// costs more than the work done on it here. The tables are as narrow as they can be, and the
// search's tree is handed on to the parse, whose links take its memory over.
struct MatchTable {
  // Candidates per position, at most 254 (each is longer than the one before, from 3 up to
  // Nice); a parse walks the positions in order and so finds where each position's begin.
  std::vector<uint8_t> count;
  std::vector<Candidate> candidates;  // per position: growing lengths, growing offsets
  // Per position, how far back the latest position with the same two bytes lies, if at most
  // 127 bytes (0 otherwise). The parse finds the short matches' offsets along these links.
  std::vector<uint8_t> pairLink;
};

// The smallest offsets 1..127 of matches of 2, 3, 4 and 5 bytes at i (0 for none), found along
// the links of the positions with the same two bytes, nearest first.
void ShortOffsets(const uint8_t* data, uint32_t n, const uint8_t* pairLink, uint32_t i, uint8_t shortest[4]) {
  const uint32_t limit = std::min(n - i, 5u);
  uint32_t found = 0;
  for (uint32_t d = pairLink[i]; d != 0 && found < 4;) {
    const uint32_t len = CommonLength(data + i - d, data + i, limit);
    for (uint32_t l = 2; l <= len; ++l)
      if (!shortest[l - 2]) {
        shortest[l - 2] = uint8_t(d);
        ++found;
      }
    const uint32_t step = pairLink[i - d];
    d = step != 0 && d + step <= 127 ? d + step : 0;
  }
}

// Inside a match longer than Nice, the positions after the one that found it have one candidate
// only, the same offset shorter by one each time. The table does not hold those: the search and
// the parse both follow them with this.
struct LongMatch {
  uint32_t length = 0;  // at the latest position
  uint32_t offset = 0;

  // The candidate at the next position, if it is one of those.
  bool Next(Candidate* c) {
    if (length <= Nice) return false;
    *c = Candidate{--length, offset};
    return true;
  }
};

constexpr uint32_t NoPosition = ~0u;

// Fills the table. The earlier positions with the same hash of three bytes form a binary tree
// ordered by the bytes that follow them, the latest at its root: the walk from the root towards
// position i meets, for each length, the nearest position with at least that much in common
// with i (every position between the two in the order shares as much, and all are older), so
// the candidates are the smallest offsets for every longer length, as far as MaxDepth nodes
// reach. A match of Nice bytes ends the walk; the node met there gives its subtrees to i.
// `smallerTree` and `largerTree` hold each position's two subtrees; the parse takes their memory
// over afterwards.
MatchTable FindMatches(const uint8_t* data, uint32_t n, std::vector<uint32_t>& smallerTree,
                       std::vector<uint32_t>& largerTree) {
  MatchTable m;
  m.count.assign(n, 0);
  m.pairLink.assign(n, 0);
  // Reserving only claims addresses: pages are touched as candidates are written, and the table
  // is not copied as it grows unless it outgrows this.
  m.candidates.reserve(n);
  std::vector<uint32_t> head(size_t(1) << HashBits, NoPosition);
  smallerTree.resize(size_t(n) + 1);
  largerTree.resize(size_t(n) + 1);
  uint32_t* const smallerOf = smallerTree.data();
  uint32_t* const largerOf = largerTree.data();
  std::vector<int32_t> pairHead(size_t(1) << 16, -1);  // each pair of bytes' latest position
  LongMatch inside;
  // The longest match the position before found, with its whole length: one position on, the
  // same offset has one byte less in common, with nothing to compare.
  Candidate previous{0, 0};
  // The nodes the walk of the position before met, by growing offset, with what they had in
  // common with it; the same offsets one position on have one byte less in common. Most of a walk
  // meets the nodes after those of the walk before.
  struct Met {
    uint32_t offset;
    uint32_t length;
    bool exact;  // else at least `length`
  };
  std::vector<Met> walks[2] = {std::vector<Met>(MaxDepth + 1), std::vector<Met>(MaxDepth + 1)};
  uint32_t metBefore = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const size_t counted = m.candidates.size();
    const uint32_t limit = n - i;
    if (limit >= 2) {
      const uint32_t pair = uint32_t(data[i]) << 8 | data[i + 1];
      const int32_t earlier = pairHead[pair];
      if (earlier >= 0 && i - uint32_t(earlier) <= 127) m.pairLink[i] = uint8_t(i - uint32_t(earlier));
      pairHead[pair] = int32_t(i);
    }
    if (limit < 3) continue;
    const Met* before = walks[(i + 1) & 1].data();
    const Met* const beforeEnd = before + metBefore;
    Met* met = walks[i & 1].data();
    metBefore = 0;
    // Inside a long match the position still goes into the tree, but its candidate is implied.
    Candidate implied;
    const bool carried = inside.Next(&implied);
    const Candidate known = previous;
    previous = carried ? implied : Candidate{0, 0};
    const uint32_t hash =
        ((uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2]) * 2654435761u) >> (32 - HashBits);
    uint32_t node = head[hash];
    head[hash] = i;
    uint32_t* smallerLink = &smallerOf[i];
    uint32_t* largerLink = &largerOf[i];
    // The bytes in common with i of the nearest nodes passed on either side bound those of any
    // node below them.
    uint32_t smallerLength = 0, largerLength = 0, best = 2;
    const uint32_t lenLimit = std::min(limit, Nice);
    for (uint32_t depth = 0;; ++depth) {
      if (node == NoPosition || depth == MaxDepth) {
        *smallerLink = *largerLink = NoPosition;
        break;
      }
      const uint8_t* p = data + node;
      const uint32_t offset = i - node;
      uint32_t len = std::min(smallerLength, largerLength);
      while (before != beforeEnd && before->offset < offset) ++before;
      if (offset == known.offset) {
        len = std::min(known.length - 1, lenLimit);
      } else if (before != beforeEnd && before->offset == offset && before->exact && before->length > 0) {
        len = std::min(before->length - 1, lenLimit);
      } else {
        if (before != beforeEnd && before->offset == offset && before->length > len + 1) len = before->length - 1;
        len += CommonLength(p + len, data + i + len, lenLimit - len);
      }
      met[metBefore++] = Met{offset, len, len < lenLimit};
      if (len > best && !carried) {
        best = len;
        uint32_t length = len;
        if (len == Nice) length = i - node == known.offset ? known.length - 1 : CommonLength(p, data + i, limit);
        m.candidates.push_back({length, i - node});
        previous = m.candidates.back();
        if (length >= Nice) inside = LongMatch{length, i - node};
      }
      if (len == lenLimit) {
        *smallerLink = smallerOf[node];
        *largerLink = largerOf[node];
        break;
      }
      if (p[len] < data[i + len]) {
        *smallerLink = node;
        smallerLink = &largerOf[node];
        node = *smallerLink;
        smallerLength = len;
      } else {
        *largerLink = node;
        largerLink = &smallerOf[node];
        node = *largerLink;
        largerLength = len;
      }
    }
    m.count[i] = uint8_t(m.candidates.size() - counted);
  }
  return m;
}

enum class Code : uint8_t { Literal, Zero, Near, Short, Repeat, NewMatch, Raw };

struct Step {
  Code code;
  uint32_t offset;
  uint32_t length;
};

// Shortest-path state, kept from one parse to the next so its memory is set up once. For each
// position, the cheapest arrival found so far: its cost, the step that ends there (its code and
// where it starts) and the offset a repeat match would use after it, which for a match is the
// match's own. A near copy's offset is not kept: it is the nearest of the 14 bytes before with
// the same value, found again when the steps are read. The costs are kept apart: almost every
// edge only compares a cost and improves nothing, so the comparisons run over a dense array and
// the rest is written only where a cost improves.
struct Arrivals {
  std::vector<uint32_t> cost;
  std::vector<uint32_t> from;
  std::vector<uint32_t> offset;
  std::vector<Code> code;
};

// An edge being relaxed, less its target and cost.
struct Edge {
  uint32_t from;
  uint32_t offset;
  Code code;
};

void Relax(Arrivals& at, uint32_t to, uint32_t cost, const Edge& how) {
  if (cost < at.cost[to]) {
    at.cost[to] = cost;
    at.from[to] = how.from;
    at.offset[to] = how.offset;
    at.code[to] = how.code;
  }
}

// GammaBits(l) for every length up to Nice, so a run of lengths is priced with a table.
struct GammaTable {
  uint32_t bits[Nice + 1];
};

constexpr GammaTable MakeGammaTable() {
  GammaTable t{};
  for (uint32_t l = 2; l <= Nice; ++l)
    for (uint32_t v = l; v > 1; v >>= 1) t.bits[l] += 2;
  return t;
}

constexpr GammaTable Gamma = MakeGammaTable();

// Relaxes `count` edges of one code from the same position to the positions first, first + 1, ...,
// the k-th costing base + gamma[k]. The targets are distinct, so their order does not matter; each
// block of eight is compared first in one go and walked only when one of its costs improves.
void RelaxRun(Arrivals& at, uint32_t first, uint32_t count, uint32_t base, const uint32_t* gamma, const Edge& how) {
  uint32_t* cost = at.cost.data() + first;
  uint32_t k = 0;
  for (; k + 8 <= count; k += 8) {
    bool better = false;
    // Costs stay below 2^31 (Infinite plus one edge), so a signed comparison, quicker in vector
    // registers, gives the same answer.
    for (uint32_t j = 0; j < 8; ++j) better |= int32_t(base + gamma[k + j]) < int32_t(cost[k + j]);
    if (!better) continue;
    for (uint32_t j = k; j < k + 8; ++j) Relax(at, first + j, base + gamma[j], how);
  }
  for (; k < count; ++k) Relax(at, first + k, base + gamma[k], how);
}

// What the latest repeat length showed: the bytes from its position up to `end` equal those
// `offset` back, and, when `exact`, the byte at `end` does not (or the data ends there).
struct RepeatSpan {
  uint32_t offset;
  uint32_t end;
  bool exact;
};

// The latest run of repeat lengths relaxed: from `position` at cost `cost`, with `offset`, to
// every target up to `end`. Each of those targets costs at most cost + 4 + gamma(its length).
struct RepeatRelaxed {
  uint32_t position;
  uint32_t offset;
  uint32_t cost;
  uint32_t end;
};

// The whole length of the match at i with offset `last`. The bytes are compared up to just past
// Nice; a longer match takes its length from the candidate with that offset when there is one.
// Within the span the latest call found for the same offset only the bytes after it are compared,
// so the positions of a long run do not each compare it again.
uint32_t RepeatLength(const uint8_t* data, uint32_t n, uint32_t i, uint32_t last, const Candidate* cand,
                      const Candidate* candEnd, RepeatSpan& known) {
  const uint32_t limit = n - i, cap = std::min(limit, Nice + 1);
  uint32_t len = 0;
  if (last == known.offset && i < known.end) {
    len = known.end - i;
    if (known.exact) return len;
  }
  len += CommonLength(data + i + len - last, data + i + len, cap - len);
  if (len > Nice && len < limit) {
    len = 0;
    for (const Candidate* k = cand; k != candEnd; ++k)
      if (k->offset == last) len = k->length;
    if (len == 0) len = CommonLength(data + i - last, data + i, limit);
    known = RepeatSpan{last, i + len, true};
  } else {
    known = RepeatSpan{last, i + len, len < cap || len == limit};
  }
  return len;
}

// The offset of a near copy of the byte at i: the nearest of the 14 bytes before with its value,
// 0 for none.
uint32_t NearOffset(const uint8_t* data, uint32_t i) {
  for (uint32_t d = 1; d <= 14 && d <= i; ++d)
    if (data[i - d] == data[i]) return d;
  return 0;
}

// Bits of a new match's offset, its two-bit code included, at index width `width`.
uint32_t OffsetBits(uint32_t offset, uint32_t width) { return 2 + GammaBits((offset >> width) + 3) + width; }

// Shortest path over the positions; returns the steps and their total size in bits. Edges are
// relaxed in a fixed order and only a strictly smaller cost replaces an arrival, so ties go to
// the earlier position and, from one position, to the code relaxed first.
std::vector<Step> Parse(const uint8_t* data, uint32_t n, const MatchTable& m, uint32_t indexWidth,
                        const std::vector<uint8_t>& literalBits, Arrivals& at, uint64_t* bits) {
  // Every later position is reached by a literal from the one before it, so its link is written
  // before it is read; only the start's needs setting.
  at.cost.assign(size_t(n) + 1, Infinite);
  at.from.resize(size_t(n) + 1);
  at.offset.resize(size_t(n) + 1);
  at.code.resize(size_t(n) + 1);
  at.cost[0] = 0;
  at.from[0] = 0;
  at.offset[0] = 1;
  at.code[0] = Code::Literal;
  RepeatSpan known{0, 0, false};  // offsets are at least 1: matches nothing
  RepeatRelaxed before{Infinite, 0, 0, 0};
  const Candidate* stored = m.candidates.data();
  LongMatch inside;
  Candidate implied;
  uint32_t seen[256];  // each byte value's latest position so far, or one far enough back for none
  for (uint32_t& p : seen) p = uint32_t(-15);
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t nearest = i - seen[data[i]];
    seen[data[i]] = i;
    // Pointer arithmetic, not indexing: the last position's candidates may end at the table's end.
    const Candidate* candBegin = stored;
    const Candidate* candEnd = stored + m.count[i];
    stored = candEnd;
    if (n - i >= 3) {
      if (inside.Next(&implied)) {
        candBegin = &implied;
        candEnd = candBegin + 1;
      } else if (candBegin != candEnd && candEnd[-1].length >= Nice) {
        inside = LongMatch{candEnd[-1].length, candEnd[-1].offset};
      }
    }
    const uint32_t c = at.cost[i];
    if (c >= Infinite) continue;
    const uint32_t last = at.offset[i];
    const uint32_t limit = n - i;
    Relax(at, i + 1, c + literalBits[i], Edge{i, last, Code::Literal});
    if (data[i] == 0) {
      Relax(at, i + 1, c + 7, Edge{i, last, Code::Zero});
    } else if (nearest <= 14) {
      Relax(at, i + 1, c + 7, Edge{i, last, Code::Near});
    }
    if (limit >= 2 && m.pairLink[i] != 0) {
      uint8_t shortest[4] = {};
      ShortOffsets(data, n, m.pairLink.data(), i, shortest);
      for (uint32_t l = 2; l <= 5; ++l)
        if (uint32_t d = shortest[l - 2]) Relax(at, i + l, c + 12, Edge{i, d, Code::Short});
    }
    // A new match never beats a repeat of the same length from the same position: its offset
    // takes at least 8 bits against the repeat's 4, and its length adjustment saves at most 2. So
    // new matches start above the lengths the repeat has covered.
    uint32_t covered = 1;
    if (last <= i && limit >= 2) {
      uint32_t len = RepeatLength(data, n, i, last, candBegin, candEnd, known);
      const Edge repeat{i, last, Code::Repeat};
      if (len >= 2) {
        const uint32_t top = std::min(len, Nice);
        uint32_t from = 2;
        if (before.position + 1 == i && before.offset == last && c >= before.cost) {
          // The same match from the position before reached i + l with one length more, for
          // c' + 4 + gamma(l + 1). Its gamma is no larger than gamma(l) + 2, and larger only
          // where l + 1 is a power of two: from here such a target improves only there, and
          // only when this cost is at most one above the one before.
          const uint32_t reached = std::min(top, before.end - i);
          if (c - before.cost < 2)
            for (uint32_t l = 3; l <= reached; l = 2 * l + 1) Relax(at, i + l, c + 4 + Gamma.bits[l], repeat);
          from = std::max(from, reached + 1);
        }
        if (from <= top) RelaxRun(at, i + from, top - from + 1, c + 4, Gamma.bits + from, repeat);
        before = RepeatRelaxed{i, last, c, i + top};
      }
      if (len > Nice) Relax(at, i + len, c + 4 + GammaBits(len), repeat);
      covered = std::max(covered, std::min(len, Nice));
    }
    for (const Candidate* k = candBegin; k != candEnd; ++k) {
      uint32_t adjust = LengthAdjust(k->offset);
      uint32_t cost = c + OffsetBits(k->offset, indexWidth);
      uint32_t top = std::min(k->length, Nice);
      uint32_t low = std::max(covered + 1, adjust + 2);
      const Edge match{i, k->offset, Code::NewMatch};
      if (low <= top) RelaxRun(at, i + low, top - low + 1, cost, Gamma.bits + (low - adjust), match);
      if (k->length > Nice) Relax(at, i + k->length, cost + GammaBits(k->length - adjust), match);
      covered = std::max(covered, top);
    }
    if (limit >= 256) Relax(at, i + 256, c + RawBlockBits, Edge{i, last, Code::Raw});
  }
  *bits = at.cost[n];
  std::vector<Step> steps;
  for (uint32_t j = n; j > 0; j = at.from[j]) {
    const uint32_t from = at.from[j];
    const Code code = at.code[j];
    const uint32_t offset = code == Code::Near ? NearOffset(data, from) : at.offset[j];
    steps.push_back(Step{code, offset, j - from});
  }
  std::reverse(steps.begin(), steps.end());
  return steps;
}

constexpr uint32_t Width8 = 256;  // literal mode: width 8; modes 0..255 are width 7 with that base

uint32_t LiteralModeBits(uint32_t mode, uint8_t b) {
  if (mode == Width8) return 9;
  return uint8_t(b - mode) < 128 ? 8 : Infinite;
}
uint32_t ModeSwitchBits(uint32_t mode) { return mode == Width8 ? 9 : 17; }

// The cheapest literal mode for each literal in turn, switch codes included.
std::vector<uint16_t> ChooseLiteralModes(const std::vector<uint8_t>& literals) {
  const size_t count = literals.size();
  std::vector<uint16_t> modes(count);
  if (count == 0) return modes;
  constexpr uint32_t States = 257, Words = (States + 63) / 64;
  std::vector<uint32_t> cost(States);
  std::vector<uint64_t> switched(count * Words, 0);  // the literal's mode was entered by a switch
  std::vector<uint16_t> cheapestBefore(count, 0);
  for (uint32_t s = 0; s < States; ++s) {
    cost[s] = std::min(Infinite, ModeSwitchBits(s) + LiteralModeBits(s, literals[0]));
    switched[s / 64] |= uint64_t(1) << (s % 64);
  }
  for (size_t k = 1; k < count; ++k) {
    uint32_t best = uint32_t(std::min_element(cost.begin(), cost.end()) - cost.begin());
    uint32_t bestCost = cost[best];
    cheapestBefore[k] = uint16_t(best);
    for (uint32_t s = 0; s < States; ++s) {
      uint32_t viaSwitch = bestCost + ModeSwitchBits(s);
      uint32_t c = cost[s];
      if (viaSwitch < c) {
        c = viaSwitch;
        switched[k * Words + s / 64] |= uint64_t(1) << (s % 64);
      }
      cost[s] = std::min(Infinite, c + LiteralModeBits(s, literals[k]));
    }
  }
  uint32_t s = uint32_t(std::min_element(cost.begin(), cost.end()) - cost.begin());
  for (size_t k = count; k-- > 0;) {
    modes[k] = uint16_t(s);
    if (k > 0 && (switched[k * Words + s / 64] >> (s % 64) & 1)) s = cheapestBefore[k];
  }
  return modes;
}

struct BitWriter {
  std::vector<uint32_t> words;
  uint32_t used = 32;
};

void PutBits(BitWriter& w, uint32_t value, uint32_t count) {
  for (uint32_t i = count; i-- > 0;) {
    if (w.used == 32) {
      w.words.push_back(0);
      w.used = 0;
    }
    w.words.back() |= ((value >> i) & 1u) << (31 - w.used);
    ++w.used;
  }
}

void PutGamma(BitWriter& w, uint32_t g) {
  uint32_t top = 31 - uint32_t(__builtin_clz(g));
  for (uint32_t i = top; i-- > 0;) {
    PutBits(w, (g >> i) & 1u, 1);
    PutBits(w, i > 0 ? 1u : 0u, 1);
  }
}

std::vector<uint8_t> Emit(const uint8_t* data, uint32_t n, uint32_t indexWidth, const std::vector<Step>& steps,
                          const std::vector<uint16_t>& modes, JcEncodeReport* report) {
  BitWriter w;
  *report = JcEncodeReport{};
  report->indexWidth = indexWidth;
  if (indexWidth != 8) {
    uint32_t field = indexWidth < 16 ? 4 : indexWidth < 32 ? 5 : 6;
    PutBits(w, 0, 10);  // 000, offset 0
    PutBits(w, field - 3, 2);
    PutBits(w, indexWidth, field);
  }
  uint32_t mode = 0xFFFF, pos = 0;
  size_t literal = 0;
  for (size_t s = 0; s < steps.size(); ++s) {
    const Step& st = steps[s];
    switch (st.code) {
      case Code::Literal: {
        uint32_t want = modes[literal++];
        if (want != mode) {
          PutBits(w, 0x10, 7);
          PutBits(w, 0, 1);
          PutBits(w, want == Width8 ? 1 : 0, 1);
          if (want != Width8) PutBits(w, want, 8);
          mode = want;
          ++report->literalWidthCodes;
        }
        PutBits(w, 1, 1);
        if (mode == Width8) PutBits(w, data[pos], 8);
        else PutBits(w, uint8_t(data[pos] - mode), 7);
        ++report->literals;
        break;
      }
      case Code::Zero:
        PutBits(w, 0x11, 7);
        ++report->nearCopies;
        break;
      case Code::Near:
        PutBits(w, 1, 3);
        PutBits(w, st.offset + 1, 4);
        ++report->nearCopies;
        break;
      case Code::Short:
        PutBits(w, 0, 3);
        PutBits(w, st.offset, 7);
        PutBits(w, st.length - 2, 2);
        ++report->shortMatches;
        break;
      case Code::Repeat:
        PutBits(w, 1, 2);
        PutGamma(w, 2);
        PutGamma(w, st.length);
        ++report->repeatMatches;
        break;
      case Code::NewMatch:
        PutBits(w, 1, 2);
        PutGamma(w, (st.offset >> indexWidth) + 3);
        PutBits(w, st.offset & ((1u << indexWidth) - 1), indexWidth);
        PutGamma(w, st.length - LengthAdjust(st.offset));
        ++report->newMatches;
        break;
      case Code::Raw: {
        // Consecutive raw blocks share one code.
        PutBits(w, 0x10, 7);
        PutBits(w, 1, 1);
        for (;;) {
          for (uint32_t i = 0; i < 256; ++i) PutBits(w, data[pos + i], 8);
          ++report->rawBlocks;
          bool more = s + 1 < steps.size() && steps[s + 1].code == Code::Raw;
          PutBits(w, more ? 1 : 0, 1);
          if (!more) break;
          pos += 256;
          ++s;
        }
        break;
      }
    }
    pos += st.length;
  }
  PutBits(w, 0, 12);  // end code
  std::vector<uint8_t> out = {'J', 'C'};
  for (uint32_t v : {n, JcChecksum(data, n)})
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
  for (uint32_t v : w.words)
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
  return out;
}

std::vector<uint8_t> Literals(const uint8_t* data, const std::vector<Step>& steps) {
  std::vector<uint8_t> literals;
  uint32_t pos = 0;
  for (const Step& st : steps) {
    if (st.code == Code::Literal) literals.push_back(data[pos]);
    pos += st.length;
  }
  return literals;
}

// Literal prices under the modes chosen for a previous parse: the mode of the nearest literal
// at or after each position, a switch added where the byte does not fit that mode.
std::vector<uint8_t> LiteralPrices(const uint8_t* data, uint32_t n, const std::vector<Step>& steps,
                                   const std::vector<uint16_t>& modes) {
  std::vector<uint8_t> prices(n, 9);
  uint32_t pos = n;
  size_t literal = modes.size();
  uint32_t mode = Width8;
  for (size_t s = steps.size(); s-- > 0;) {
    pos -= steps[s].length;
    if (steps[s].code == Code::Literal) mode = modes[--literal];
    for (uint32_t i = pos; i < pos + steps[s].length; ++i) {
      uint32_t b = LiteralModeBits(mode, data[i]);
      prices[i] = uint8_t(b >= Infinite ? 9 + 17 : b);
    }
  }
  return prices;
}

}  // namespace

std::vector<uint8_t> EncodeJcStream(const uint8_t* data, size_t size, JcEncodeReport* report) {
  const uint32_t n = uint32_t(size);
  Arrivals at;
  MatchTable matches = FindMatches(data, n, at.from, at.offset);
  std::vector<uint8_t> keptPrices(n, 9);  // literal prices the kept parse was made with

  // The widths are parsed in turn: first the one that codes the offsets of all candidates beyond
  // the short matches' reach in the fewest bits, then, as long as the new matches of the best
  // parse so far, priced at another width, promise less than that parse, the width they put
  // lowest. Ties go to the smaller width.
  constexpr uint32_t LeastWidth = 4, MostWidth = 14;
  uint32_t bestWidth = LeastWidth;
  {
    uint64_t offsetBits[MostWidth + 1] = {};
    for (const Candidate& k : matches.candidates)
      if (k.offset > 127)
        for (uint32_t w = LeastWidth; w <= MostWidth; ++w) offsetBits[w] += OffsetBits(k.offset, w);
    for (uint32_t w = LeastWidth; w <= MostWidth; ++w)
      if (offsetBits[w] < offsetBits[bestWidth]) bestWidth = w;
  }
  uint64_t bestBits;
  std::vector<Step> steps = Parse(data, n, matches, bestWidth, keptPrices, at, &bestBits);
  bool parsed[MostWidth + 1] = {};
  parsed[bestWidth] = true;
  for (;;) {
    uint64_t estimate[MostWidth + 1];
    for (uint32_t w = LeastWidth; w <= MostWidth; ++w) estimate[w] = bestBits;
    for (const Step& st : steps)
      if (st.code == Code::NewMatch)
        for (uint32_t w = LeastWidth; w <= MostWidth; ++w)
          estimate[w] += int64_t(OffsetBits(st.offset, w)) - int64_t(OffsetBits(st.offset, bestWidth));
    uint32_t next = 0;
    for (uint32_t w = LeastWidth; w <= MostWidth; ++w)
      if (!parsed[w] && (next == 0 || estimate[w] < estimate[next])) next = w;
    if (next == 0 || estimate[next] > bestBits || (estimate[next] == bestBits && next > bestWidth)) break;
    parsed[next] = true;
    uint64_t bits;
    std::vector<Step> tried = Parse(data, n, matches, next, keptPrices, at, &bits);
    if (bits < bestBits || (bits == bestBits && next < bestWidth)) {
      bestBits = bits;
      bestWidth = next;
      steps.swap(tried);
    }
  }

  uint64_t bits;
  std::vector<uint16_t> modes = ChooseLiteralModes(Literals(data, steps));
  std::vector<uint8_t> best = Emit(data, n, bestWidth, steps, modes, report);
  for (int round = 0; round < 2; ++round) {
    std::vector<uint8_t> prices = LiteralPrices(data, n, steps, modes);
    // Prices a parse has already used give that parse again: nothing to gain.
    if (prices == keptPrices) break;
    steps = Parse(data, n, matches, bestWidth, prices, at, &bits);
    modes = ChooseLiteralModes(Literals(data, steps));
    JcEncodeReport r;
    std::vector<uint8_t> out = Emit(data, n, bestWidth, steps, modes, &r);
    if (out.size() >= best.size()) break;
    best.swap(out);
    *report = r;
    keptPrices.swap(prices);
  }
  return best;
}
