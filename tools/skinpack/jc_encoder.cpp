// JC stream encoder.
//
// Every code of the format has a fixed size in bits, so the cheapest stream is a shortest path
// over the input positions. The encoder:
//  1. finds, for every position, the matches worth knowing: the smallest offset for each longer
//     length (hash chains over 3-byte prefixes), and the smallest offset 1..127 for the short
//     match lengths 2..5;
//  2. runs a forward shortest-path parse whose arrivals carry lastOffset, so repeat matches are
//     priced from the path actually taken; literals, zero bytes, near copies, short matches,
//     repeat and new-offset matches and raw blocks are all edges;
//  3. chooses literal widths afterwards: an exact search over the literal sequence between
//     width 8 and width 7 with each of the 256 bases, switches priced by their code size; the
//     parse is then repeated with the literal prices that choice gives;
//  4. tries each index width and keeps the smallest result.
// The parse is most of the work and runs once per width and once per round of step 3; it keeps
// its state between runs and compares the costs of a run of lengths together (RelaxRun).

#include "jc_encoder.h"

#include <algorithm>
#include <cstring>

#include "skin/jc_stream.h"

namespace {

constexpr uint32_t Nice = 256;        // lengths beyond this are taken whole
constexpr uint32_t MaxChain = 256;    // hash-chain candidates looked at per position
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

struct MatchTable {
  std::vector<uint32_t> first;        // position -> index of its first candidate; n + 1 entries
  std::vector<Candidate> candidates;  // per position: growing lengths, growing offsets
  std::vector<uint8_t> shortOffset;   // 4 per position: smallest offset for lengths 2..5, 0 = none
};

MatchTable FindMatches(const uint8_t* data, uint32_t n) {
  MatchTable m;
  m.first.resize(n + 1);
  m.shortOffset.assign(size_t(n) * 4, 0);
  std::vector<int32_t> head(size_t(1) << HashBits, -1), prev(n, -1);
  uint32_t carryLength = 0, carryOffset = 0;
  for (uint32_t i = 0; i < n; ++i) {
    m.first[i] = uint32_t(m.candidates.size());
    uint32_t limit = n - i;
    if (limit >= 2) {
      uint8_t* shortest = &m.shortOffset[size_t(i) * 4];
      uint32_t found = 0;
      for (uint32_t d = 1; d <= 127 && d <= i && found < 4; ++d) {
        if (data[i - d] != data[i] || data[i - d + 1] != data[i + 1]) continue;
        uint32_t len = CommonLength(data + i - d, data + i, std::min(limit, 5u));
        for (uint32_t l = 2; l <= len; ++l)
          if (!shortest[l - 2]) {
            shortest[l - 2] = uint8_t(d);
            ++found;
          }
      }
    }
    uint32_t hash = 0;
    if (limit >= 3) hash = ((uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2]) * 2654435761u) >> (32 - HashBits);
    if (carryLength > Nice) {
      // Inside a long match: the same offset continues, shorter by one.
      --carryLength;
      m.candidates.push_back({carryLength, carryOffset});
    } else if (limit >= 3) {
      carryLength = 0;
      uint32_t best = 2, depth = 0;
      for (int32_t p = head[hash]; p >= 0 && depth < MaxChain && best < limit; p = prev[p], ++depth) {
        if (data[p + best] != data[i + best]) continue;
        uint32_t len = CommonLength(data + p, data + i, limit);
        if (len > best) {
          best = len;
          m.candidates.push_back({len, i - uint32_t(p)});
          if (len >= Nice) {
            carryLength = len;
            carryOffset = i - uint32_t(p);
            break;
          }
        }
      }
    }
    if (limit >= 3) {
      prev[i] = head[hash];
      head[hash] = int32_t(i);
    }
  }
  m.first[n] = uint32_t(m.candidates.size());
  return m;
}

enum class Code : uint8_t { Literal, Zero, Near, Short, Repeat, NewMatch, Raw };

struct Step {
  Code code;
  uint32_t offset;
  uint32_t length;
};

// How the cheapest arrival found so far at a position came: the step that ends there (its length
// is the distance from `from`) and the offset a repeat match would use after it.
struct Link {
  uint32_t from;
  uint32_t offset;
  uint32_t lastOffset;
  Code code;
};

// Shortest-path state, kept from one parse to the next so its memory is set up once. The costs
// are kept apart from the links: almost every edge only compares a cost and improves nothing, so
// the comparisons run over a dense array and a link is written only where a cost improves.
struct Arrivals {
  std::vector<uint32_t> cost;
  std::vector<Link> link;
};

void Relax(Arrivals& at, uint32_t to, uint32_t cost, const Link& how) {
  if (cost < at.cost[to]) {
    at.cost[to] = cost;
    at.link[to] = how;
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
void RelaxRun(Arrivals& at, uint32_t first, uint32_t count, uint32_t base, const uint32_t* gamma, const Link& how) {
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

// Shortest path over the positions; returns the steps and their total size in bits. Edges are
// relaxed in a fixed order and only a strictly smaller cost replaces an arrival, so ties go to
// the earlier position and, from one position, to the code relaxed first.
std::vector<Step> Parse(const uint8_t* data, uint32_t n, const MatchTable& m, uint32_t indexWidth,
                        const std::vector<uint8_t>& literalBits, Arrivals& at, uint64_t* bits) {
  // Every later position is reached by a literal from the one before it, so its link is written
  // before it is read; only the start's needs setting.
  at.cost.assign(size_t(n) + 1, Infinite);
  at.link.resize(size_t(n) + 1);
  at.cost[0] = 0;
  at.link[0] = Link{0, 0, 1, Code::Literal};
  RepeatSpan known{0, 0, false};  // offsets are at least 1: matches nothing
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t c = at.cost[i];
    if (c >= Infinite) continue;
    const uint32_t last = at.link[i].lastOffset;
    const uint32_t limit = n - i;
    Relax(at, i + 1, c + literalBits[i], Link{i, 0, last, Code::Literal});
    if (data[i] == 0) {
      Relax(at, i + 1, c + 7, Link{i, 0, last, Code::Zero});
    } else {
      for (uint32_t d = 1; d <= 14 && d <= i; ++d)
        if (data[i - d] == data[i]) {
          Relax(at, i + 1, c + 7, Link{i, d, last, Code::Near});
          break;
        }
    }
    if (limit >= 2)
      for (uint32_t l = 2; l <= 5; ++l)
        if (uint32_t d = m.shortOffset[size_t(i) * 4 + l - 2]) Relax(at, i + l, c + 12, Link{i, d, d, Code::Short});
    // Pointer arithmetic, not indexing: first[i + 1] may equal the table's size (or the table be empty).
    const Candidate* base = m.candidates.data();
    const Candidate* cand = base + m.first[i];
    const Candidate* candEnd = base + m.first[i + 1];
    // A new match never beats a repeat of the same length from the same position: its offset
    // takes at least 8 bits against the repeat's 4, and its length adjustment saves at most 2. So
    // new matches start above the lengths the repeat has covered.
    uint32_t covered = 1;
    if (last <= i && limit >= 2) {
      uint32_t len = RepeatLength(data, n, i, last, cand, candEnd, known);
      const Link repeat{i, last, last, Code::Repeat};
      if (len >= 2) RelaxRun(at, i + 2, std::min(len, Nice) - 1, c + 4, Gamma.bits + 2, repeat);
      if (len > Nice) Relax(at, i + len, c + 4 + GammaBits(len), repeat);
      covered = std::max(covered, std::min(len, Nice));
    }
    for (const Candidate* k = cand; k != candEnd; ++k) {
      uint32_t adjust = LengthAdjust(k->offset);
      uint32_t cost = c + 2 + GammaBits((k->offset >> indexWidth) + 3) + indexWidth;
      uint32_t top = std::min(k->length, Nice);
      uint32_t low = std::max(covered + 1, adjust + 2);
      const Link match{i, k->offset, k->offset, Code::NewMatch};
      if (low <= top) RelaxRun(at, i + low, top - low + 1, cost, Gamma.bits + (low - adjust), match);
      if (k->length > Nice) Relax(at, i + k->length, cost + GammaBits(k->length - adjust), match);
      covered = std::max(covered, top);
    }
    if (limit >= 256) Relax(at, i + 256, c + RawBlockBits, Link{i, 0, last, Code::Raw});
  }
  *bits = at.cost[n];
  std::vector<Step> steps;
  for (uint32_t j = n; j > 0; j = at.link[j].from) {
    const Link& l = at.link[j];
    steps.push_back(Step{l.code, l.offset, j - l.from});
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
  MatchTable matches = FindMatches(data, n);
  Arrivals at;
  std::vector<uint8_t> flat(n, 9);

  uint32_t bestWidth = 8;
  uint64_t bestBits = ~uint64_t(0);
  std::vector<Step> steps;
  for (uint32_t width = 4; width <= 14; ++width) {
    uint64_t bits;
    std::vector<Step> tried = Parse(data, n, matches, width, flat, at, &bits);
    if (bits < bestBits) {
      bestBits = bits;
      bestWidth = width;
      steps.swap(tried);
    }
  }

  uint64_t bits;
  std::vector<uint16_t> modes = ChooseLiteralModes(Literals(data, steps));
  std::vector<uint8_t> best = Emit(data, n, bestWidth, steps, modes, report);
  std::vector<uint8_t> pricesBefore = flat;
  for (int round = 0; round < 2; ++round) {
    std::vector<uint8_t> prices = LiteralPrices(data, n, steps, modes);
    // Prices a parse has already used give that parse again: nothing to gain.
    if (prices == pricesBefore) break;
    steps = Parse(data, n, matches, bestWidth, prices, at, &bits);
    modes = ChooseLiteralModes(Literals(data, steps));
    JcEncodeReport r;
    std::vector<uint8_t> out = Emit(data, n, bestWidth, steps, modes, &r);
    if (out.size() >= best.size()) break;
    best.swap(out);
    *report = r;
    pricesBefore.swap(prices);
  }
  return best;
}
