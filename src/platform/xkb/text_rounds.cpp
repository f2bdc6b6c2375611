#include "platform/xkb/text_rounds.h"

#include <algorithm>
#include <numeric>

namespace tapwell::xkb {

TextPlan PlanText(const std::vector<char32_t>& chars, const std::function<bool(char32_t)>& onLayout,
                  const std::function<std::uint32_t(char32_t)>& keysymFor, std::vector<TextSlot> slots,
                  std::size_t width) {
  TextPlan plan;
  plan.strokes.resize(chars.size());
  width = std::max<std::size_t>(width, 1);
  // When each slot was last used: the round after which it was, 0 before the
  // text. Of two slots used alike, the one given first goes first.
  std::vector<std::size_t> usedIn(slots.size(), 0);
  auto untyped = [&plan](char32_t c) {
    if (plan.untyped.find(c) == std::u32string::npos) plan.untyped.push_back(c);
  };
  auto placedAt = [&slots](std::uint32_t sym, std::size_t& slot, std::size_t& level) {
    for (std::size_t s = 0; s < slots.size(); ++s) {
      const auto& levels = slots[s].levels;
      const auto it = std::find(levels.begin(), levels.end(), sym);
      if (it == levels.end()) continue;
      slot = s;
      level = static_cast<std::size_t>(it - levels.begin());
      return true;
    }
    return false;
  };

  std::size_t i = 0;
  while (i < chars.size()) {
    TextRound round;
    round.begin = i;
    // The symbols of the characters up to the first that no longer fits; fewer
    // when slots that keep symbols of this part leave too little room.
    std::size_t limit = slots.size() * width;
    for (;;) {
      std::vector<std::uint32_t> needed;
      for (std::size_t j = i; j < chars.size(); ++j) {
        if (onLayout(chars[j])) continue;
        const std::uint32_t sym = keysymFor(chars[j]);
        if (sym == 0 || std::find(needed.begin(), needed.end(), sym) != needed.end()) continue;
        if (needed.size() == limit) break;
        needed.push_back(sym);
      }
      std::vector<std::uint32_t> toPlace;
      for (const std::uint32_t sym : needed) {
        std::size_t s = 0;
        std::size_t l = 0;
        if (!placedAt(sym, s, l)) toPlace.push_back(sym);
      }
      // Slots whose symbols this part does not need take the new ones: empty
      // slots first, then the least recently used.
      std::vector<std::size_t> order(slots.size());
      std::iota(order.begin(), order.end(), std::size_t{0});
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (slots[a].occupied != slots[b].occupied) return !slots[a].occupied;
        return usedIn[a] < usedIn[b];
      });
      std::vector<SlotChange> changes;
      std::size_t next = 0;
      for (const std::size_t s : order) {
        if (next == toPlace.size()) break;
        const auto& levels = slots[s].levels;
        const bool inUse = std::any_of(levels.begin(), levels.end(), [&needed](std::uint32_t sym) {
          return std::find(needed.begin(), needed.end(), sym) != needed.end();
        });
        if (inUse) continue;
        SlotChange change{s, {}, slots[s].occupied};
        while (change.syms.size() < width && next < toPlace.size()) change.syms.push_back(toPlace[next++]);
        change.syms.resize(width, change.syms.front());
        changes.push_back(std::move(change));
      }
      if (next < toPlace.size()) {
        // The part ends before the first symbol that found no slot.
        const auto first = std::find(needed.begin(), needed.end(), toPlace[next]);
        limit = std::max<std::size_t>(static_cast<std::size_t>(first - needed.begin()), 1);
        if (limit < needed.size()) continue;
      }
      for (SlotChange& change : changes) {
        slots[change.slot].levels = change.syms;
        slots[change.slot].occupied = true;
        round.changes.push_back(std::move(change));
      }
      break;
    }
    // The characters the slots now carry, up to the first that needs another round.
    for (; i < chars.size(); ++i) {
      if (onLayout(chars[i])) {
        plan.strokes[i] = {TextStroke::Kind::Layout, 0, 0};
        continue;
      }
      const std::uint32_t sym = keysymFor(chars[i]);
      std::size_t s = 0;
      std::size_t l = 0;
      if (sym != 0 && placedAt(sym, s, l)) {
        plan.strokes[i] = {TextStroke::Kind::Slot, s, l};
        usedIn[s] = plan.rounds.size() + 1;
        continue;
      }
      if (sym != 0 && !slots.empty() && i > round.begin) break;
      plan.strokes[i] = {TextStroke::Kind::Untyped, 0, 0};
      untyped(chars[i]);
    }
    round.end = i;
    plan.rounds.push_back(std::move(round));
  }
  return plan;
}

std::string EncodeUtf8(const std::u32string& chars) {
  std::string out;
  for (const char32_t c : chars) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace tapwell::xkb
