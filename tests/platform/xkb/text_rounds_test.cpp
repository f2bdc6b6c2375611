// The plan of an exact text: which characters go on which spare keycode, in
// which round, replayed as a keyboard would carry it out.
#include "platform/xkb/text_rounds.h"

#include <gtest/gtest.h>

namespace tapwell::xkb {
namespace {

// The layout types the ASCII letters; any other character but U+0001 has a
// symbol of its own (the character plus 0x1000000, as for Unicode keysyms).
bool OnLayout(char32_t c) {
  return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}
std::uint32_t Sym(char32_t c) {
  return c == 1 ? 0 : 0x1000000 + static_cast<std::uint32_t>(c);
}

// Carries the plan out on the slots: what each keystroke types (the keysym of
// its key and level at that moment), 0 for a character left out. Checks that
// the rounds cover the text in order and change only slots that exist.
std::vector<std::uint32_t> Replay(const TextPlan& plan, std::vector<TextSlot> slots,
                                  const std::u32string& text, std::size_t* changes = nullptr) {
  std::vector<std::uint32_t> typed;
  std::size_t at = 0;
  for (const TextRound& round : plan.rounds) {
    EXPECT_EQ(round.begin, at);
    EXPECT_GE(round.end, round.begin);
    for (const SlotChange& c : round.changes) {
      EXPECT_LT(c.slot, slots.size());
      if (c.slot >= slots.size()) continue;
      EXPECT_EQ(c.replaces, slots[c.slot].occupied) << "slot " << c.slot;
      slots[c.slot] = {c.syms, true};
      if (changes) ++*changes;
    }
    for (std::size_t i = round.begin; i < round.end; ++i) {
      const TextStroke& s = plan.strokes[i];
      if (s.kind == TextStroke::Kind::Layout) {
        typed.push_back(Sym(text[i]));
      } else if (s.kind == TextStroke::Kind::Slot) {
        typed.push_back(slots.at(s.slot).levels.at(s.level));
      } else {
        typed.push_back(0);
      }
    }
    at = round.end;
  }
  EXPECT_EQ(at, text.size());
  return typed;
}

std::vector<std::uint32_t> Expected(const std::u32string& text) {
  std::vector<std::uint32_t> out;
  for (const char32_t c : text) out.push_back(Sym(c));
  return out;
}

TextPlan Plan(const std::u32string& text, std::vector<TextSlot> slots, std::size_t width) {
  return PlanText(std::vector<char32_t>(text.begin(), text.end()), OnLayout, Sym, std::move(slots), width);
}

TEST(TextRounds, EveryCharacterIsTypedAsWrittenWhateverTheSlotsAndLevels) {
  std::u32string many;
  for (char32_t c = 0x4E00; c < 0x4E00 + 40; ++c) {
    many += c;
    many += U'a' + c % 26;
    if (c % 3 == 0) many += U'\u00e9';  // a character that comes back in later rounds
  }
  for (const std::u32string& text : {std::u32string(U"Hello"), std::u32string(U"H\u00e9\u6f22!@"), many}) {
    for (const std::size_t slots : {1, 3, 16}) {
      for (const std::size_t width : {1, 2, 4}) {
        const std::vector<TextSlot> empty(slots);
        const TextPlan plan = Plan(text, empty, width);
        std::size_t changes = 0;
        EXPECT_EQ(Replay(plan, empty, text, &changes), Expected(text)) << slots << " x " << width;
        EXPECT_TRUE(plan.untyped.empty());
        // A symbol goes onto a key only when the text needs it there: at most
        // one change per distinct character in a round of its own.
        if (text == U"Hello") {
          EXPECT_EQ(plan.rounds.size(), 1u);
          EXPECT_EQ(changes, 0u);
        }
      }
    }
  }
  // Fewer rounds with more room: each round fills every slot it may.
  EXPECT_GT(Plan(many, std::vector<TextSlot>(3), 1).rounds.size(),
            Plan(many, std::vector<TextSlot>(16), 4).rounds.size());
  EXPECT_EQ(Plan(many, std::vector<TextSlot>(60), 1).rounds.size(), 1u);
}

TEST(TextRounds, SymbolsAlreadyOnTheSlotsAreKeptAndEmptySlotsAreTakenFirst) {
  const std::u32string text = U"\u00e9x\u00df";
  // Slot 0 holds é from an earlier text, slot 1 a key command's symbol, slot 2 nothing.
  const std::vector<TextSlot> slots = {{{Sym(U'\u00e9')}, true}, {{}, true}, {{}, false}};
  const TextPlan plan = Plan(text, slots, 1);
  EXPECT_EQ(Replay(plan, slots, text), Expected(text));
  ASSERT_EQ(plan.rounds.size(), 1u);
  ASSERT_EQ(plan.rounds[0].changes.size(), 1u);
  EXPECT_EQ(plan.rounds[0].changes[0], (SlotChange{2, {Sym(U'\u00df')}, false}));
  EXPECT_EQ(plan.strokes[0], (TextStroke{TextStroke::Kind::Slot, 0, 0}));
  // A change of a slot that carried a symbol says so (the keyboard lets its old
  // symbol's receivers finish first); leftover levels repeat the first symbol.
  const TextPlan wide = Plan(U"\u20ac\u00e9", {{{}, true}}, 3);
  ASSERT_EQ(wide.rounds.size(), 1u);
  EXPECT_EQ(wide.rounds[0].changes[0],
            (SlotChange{0, {Sym(U'\u20ac'), Sym(U'\u00e9'), Sym(U'\u20ac')}, true}));
}

TEST(TextRounds, CharactersWithoutSymbolOrSlotAreLeftOutAndNamedOnce) {
  // No slot at all: the layout's characters still go, the others are named in
  // the order of the text, each once.
  const std::u32string text = U"H\u00e9\u6f22a\u00e9!";
  const TextPlan none = Plan(text, {}, 1);
  EXPECT_EQ(Replay(none, {}, text), (std::vector<std::uint32_t>{Sym(U'H'), 0, 0, Sym(U'a'), 0, 0}));
  EXPECT_EQ(none.untyped, U"\u00e9\u6f22!");
  // A character no symbol stands for is left out even with slots to spare.
  const std::u32string odd = U"a\u0001\u00e9";
  const std::vector<TextSlot> slots(2);
  const TextPlan plan = Plan(odd, slots, 1);
  EXPECT_EQ(Replay(plan, slots, odd), (std::vector<std::uint32_t>{Sym(U'a'), 0, Sym(U'\u00e9')}));
  EXPECT_EQ(plan.untyped, U"\u0001");
  EXPECT_EQ(EncodeUtf8(U"\u00e9\u6f22!\U0001F600"), "\xc3\xa9\xe6\xbc\xa2!\xf0\x9f\x98\x80");
}

}  // namespace
}  // namespace tapwell::xkb
