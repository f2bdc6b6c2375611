#include "platform/xkb/vk_table.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/keynames.h"

namespace tapwell::xkb {
namespace {

class BothLayouts : public ::testing::TestWithParam<KeyLayout> {};

TEST_P(BothLayouts, EachKeyAndItsCodeMeetInBothDirections) {
  const VkLayoutTable table(GetParam());
  for (int kc = 0; kc < 256; ++kc) {
    const std::uint8_t vk = table.vkForKeycode(static_cast<std::uint8_t>(kc));
    if (vk == 0) continue;
    EXPECT_EQ(table.keycodeForVk(vk), kc) << "keycode " << kc << " code " << int(vk);
  }
  for (int vk = 1; vk < 256; ++vk) {
    const std::uint8_t kc = table.keycodeForVk(static_cast<std::uint8_t>(vk));
    if (kc == 0) continue;
    const std::uint8_t back = table.vkForKeycode(kc);
    ASSERT_NE(back, 0) << "code " << vk << " reaches keycode " << int(kc) << ", which reports no code";
    if (back != vk) {
      // Only aliases of the same key (VK_LSHIFT beside VK_SHIFT) may differ.
      EXPECT_EQ(table.keysymForVk(static_cast<std::uint8_t>(vk)), table.keysymForVk(back)) << "code " << vk;
      EXPECT_NE(table.keysymForVk(back), 0u);
    }
  }
}

TEST_P(BothLayouts, PunctuationGoesByPositionOnly) {
  const VkLayoutTable table(GetParam());
  for (int vk : {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE, 0xE2}) {
    EXPECT_EQ(table.routeForVk(static_cast<std::uint8_t>(vk)), KeyRoute::Position) << vk;
    EXPECT_EQ(table.keysymForVk(static_cast<std::uint8_t>(vk)), 0u) << vk;
    EXPECT_NE(table.keycodeForVk(static_cast<std::uint8_t>(vk)), 0) << vk;
  }
}

TEST_P(BothLayouts, EveryKeyNameReachesAKey) {
  const VkLayoutTable table(GetParam());
  for (const KeyName& k : KeyNameTable()) {
    if (k.code == 1 || k.code == 2 || k.code == 4) continue;  // mouse buttons
    EXPECT_TRUE(table.known(k.code)) << k.name;
    EXPECT_NE(table.keysymForVk(k.code), 0u) << k.name << " has no keysym";
  }
  for (char c = 'A'; c <= 'Z'; ++c)
    EXPECT_EQ(table.routeForVk(static_cast<std::uint8_t>(c)), KeyRoute::Letter);
  for (char c = '0'; c <= '9'; ++c)
    EXPECT_EQ(table.routeForVk(static_cast<std::uint8_t>(c)), KeyRoute::Letter);
}

INSTANTIATE_TEST_SUITE_P(Layouts, BothLayouts, ::testing::Values(KeyLayout::Us, KeyLayout::Jp));

TEST(VkTable, PunctuationCodesOfTheUsAndJpKeys) {
  // X keycode -> code, as Windows reports the keys at these positions.
  const std::map<int, int> us = {{20, 0xBD}, {21, 0xBB}, {34, 0xDB}, {35, 0xDD}, {47, 0xBA}, {48, 0xDE},
                                 {49, 0xC0}, {51, 0xDC}, {59, 0xBC}, {60, 0xBE}, {61, 0xBF}, {94, 0xE2}};
  const std::map<int, int> jp = {{20, 0xBD}, {21, 0xDE}, {34, 0xC0}, {35, 0xDB}, {47, 0xBB},
                                 {48, 0xBA}, {49, 0xF3}, {51, 0xDD}, {59, 0xBC}, {60, 0xBE},
                                 {61, 0xBF}, {97, 0xE2}, {132, 0xDC}};
  const VkLayoutTable usTable(KeyLayout::Us);
  const VkLayoutTable jpTable(KeyLayout::Jp);
  for (const auto& [kc, vk] : us) EXPECT_EQ(usTable.vkForKeycode(static_cast<std::uint8_t>(kc)), vk) << kc;
  for (const auto& [kc, vk] : jp) EXPECT_EQ(jpTable.vkForKeycode(static_cast<std::uint8_t>(kc)), vk) << kc;
  // Keys of one layout only.
  EXPECT_EQ(usTable.keycodeForVk(0xF3), 0);
  EXPECT_EQ(usTable.vkForKeycode(97), 0);
  EXPECT_EQ(usTable.vkForKeycode(132), 0);
  EXPECT_EQ(jpTable.vkForKeycode(94), 0);
}

TEST(VkTable, LayoutFromTheFirstXkbGroup) {
  EXPECT_EQ(LayoutFromXkbLayouts("jp"), KeyLayout::Jp);
  EXPECT_EQ(LayoutFromXkbLayouts("jp,us"), KeyLayout::Jp);
  EXPECT_EQ(LayoutFromXkbLayouts("us,jp"), KeyLayout::Us);
  EXPECT_EQ(LayoutFromXkbLayouts("us"), KeyLayout::Us);
  EXPECT_EQ(LayoutFromXkbLayouts(""), KeyLayout::Us);
  EXPECT_EQ(LayoutFromXkbLayouts("jpx"), KeyLayout::Us);
}

}  // namespace
}  // namespace tapwell::xkb
