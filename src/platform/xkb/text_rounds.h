// How exact text is typed when some of its characters have no key on the
// layout: those characters go onto spare keycodes ("slots"), each carrying one
// symbol per level, and when they outnumber the slots the text is typed in
// rounds, the slots taking new symbols between rounds. The plan is made before
// anything is sent, so the keyboards only carry it out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tapwell::xkb {

// A spare keycode as typing finds it.
struct TextSlot {
  // The symbols a text put on it, by level; empty when none did.
  std::vector<std::uint32_t> levels;
  // Whether it carries any symbol (also one a key command put there).
  bool occupied = false;
};

// How one character is typed.
struct TextStroke {
  enum class Kind {
    Layout,   // by its own key of the layout
    Slot,     // on a spare keycode, at one of its levels
    Untyped,  // not at all: no symbol stands for it, or there is no slot
  };
  Kind kind = Kind::Untyped;
  std::size_t slot = 0;
  std::size_t level = 0;
  bool operator==(const TextStroke&) const = default;
};

// A slot's new symbols, one per level.
struct SlotChange {
  std::size_t slot = 0;
  std::vector<std::uint32_t> syms;
  // It carried symbols before: receivers may still look those up, so the
  // change waits until they have had their time.
  bool replaces = false;
  bool operator==(const SlotChange&) const = default;
};

// The slots' changes, then the characters [begin, end) of the text.
struct TextRound {
  std::vector<SlotChange> changes;
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct TextPlan {
  std::vector<TextRound> rounds;
  std::vector<TextStroke> strokes;  // one per character
  // The characters typed not at all, in the order of the text, each once.
  std::u32string untyped;
};

// Plans a text. `onLayout` tells the characters that a key of the layout types;
// `keysymFor` gives the symbol of a character (0: none stands for it); `slots`
// are the spare keycodes in the order they are given up for new symbols
// (empty ones first, then the least recently used), each of `width` levels.
// A slot whose symbols the characters up to the round's end still need keeps
// them; leftover levels of a changed slot repeat its first symbol.
TextPlan PlanText(const std::vector<char32_t>& chars, const std::function<bool(char32_t)>& onLayout,
                  const std::function<std::uint32_t(char32_t)>& keysymFor, std::vector<TextSlot> slots,
                  std::size_t width);

// The characters as UTF-8, for messages.
std::string EncodeUtf8(const std::u32string& chars);

}  // namespace tapwell::xkb
