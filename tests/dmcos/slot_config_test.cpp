// The slot configuration string.
#include <gtest/gtest.h>

#include "slot_config.h"

namespace {

using dmcos::Scheme;

TEST(SlotConfig, EntriesInSlotOrder) {
  const auto entries = dmcos::parseSlots("emu:/tmp/a.img;pcsc:Virtual PCD 00 00;pcsc:");
  EXPECT_EQ(entries[0], (dmcos::SlotEntry{Scheme::Emulator, "/tmp/a.img"}));
  EXPECT_EQ(entries[1], (dmcos::SlotEntry{Scheme::Pcsc, "Virtual PCD 00 00"}));
  EXPECT_EQ(entries[2], (dmcos::SlotEntry{Scheme::Pcsc, ""}));
  for (size_t i = 3; i < entries.size(); ++i) EXPECT_EQ(entries[i].scheme, Scheme::None);
}

TEST(SlotConfig, EmptyAndUnknownEntriesLeaveTheSlotUnconfigured) {
  const auto entries = dmcos::parseSlots(";usb:1;emu:;EMU:/x;emu:/img");
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(entries[i].scheme, Scheme::None) << i;
  EXPECT_EQ(entries[4], (dmcos::SlotEntry{Scheme::Emulator, "/img"}));
  for (const auto& s : dmcos::parseSlots("")) EXPECT_EQ(s.scheme, Scheme::None);
}

TEST(SlotConfig, AtMostSixSlots) {
  const auto entries = dmcos::parseSlots("emu:1;emu:2;emu:3;emu:4;emu:5;emu:6;emu:7");
  EXPECT_EQ(entries[5].argument, "6");
  EXPECT_EQ(entries.size(), 6u);
}

}  // namespace
