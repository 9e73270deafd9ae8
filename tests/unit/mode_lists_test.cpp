// Choices over the display's mode list: the refresh rate of the switch and
// the entries of the settings dialog.
#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "settings/mode_lists.h"
#include "tests/param_name.h"

namespace {

typedef std::vector<DisplayMode> Modes;
typedef std::vector<std::string> Entries;

// One size at one depth, listed once per refresh rate.
Modes atRates(uint32_t width, uint32_t height, uint32_t bits, std::vector<uint32_t> rates) {
  Modes modes;
  for (uint32_t rate : rates) modes.push_back({width, height, bits, rate});
  return modes;
}

Modes joined(std::vector<Modes> parts) {
  Modes all;
  for (const Modes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const uint32_t kUnchanged = 0xFFFFFFFFu;  // no request: the display stays as it is

// One list, asked for 1024 x 768 at 32 bits twice: named in the setting
// ("1024x768x32"), and as the desktop's own mode ("Current resolution").
struct RefreshCase {
  const char* name;
  Modes modes;
  uint32_t named;    // Hz requested
  uint32_t current;  // Hz requested, or kUnchanged
};

const RefreshCase kRefreshCases[] = {
    {"HighestAbove60Wins", atRates(1024, 768, 32, {60, 70, 75, 85}), 85, 85},
    {"OrderDoesNotMatter", atRates(1024, 768, 32, {85, 60, 75}), 85, 85},
    {"Only56And60Give60", atRates(1024, 768, 32, {56, 60}), 60, 60},
    {"Listed60BeatsLower", atRates(1024, 768, 32, {50, 60}), 60, 60},
    {"Listed144BeatsListed60", atRates(1024, 768, 32, {60, 144}), 144, 144},
    // No 60 Hz listed: only what the display lists is asked for.
    {"Only50Hz", atRates(1024, 768, 32, {50}), 50, kUnchanged},
    {"Only59And48Hz", atRates(1024, 768, 32, {48, 59}), 59, kUnchanged},
    {"Only30Hz", atRates(1024, 768, 32, {30}), 30, kUnchanged},
    {"OnlyTheHardwareDefault0", atRates(1024, 768, 32, {0}), 0, kUnchanged},
    {"HardwareDefaultsNeverBeat60", atRates(1024, 768, 32, {0, 1, 60}), 60, 60},
    // Not listed at all: asked for at 60 Hz, and the display refuses it.
    {"NothingListed", {}, 60, kUnchanged},
    {"OtherDepthIgnored", atRates(1024, 768, 16, {100}), 60, kUnchanged},
    {"OtherWidthIgnored", atRates(1280, 768, 32, {100}), 60, kUnchanged},
    {"OtherHeightIgnored", atRates(1024, 600, 32, {100}), 60, kUnchanged},
    {"OnlyTheMatchingSizeCounts",
     joined({atRates(1280, 1024, 32, {100}), atRates(1024, 768, 32, {72}),
             atRates(1024, 768, 16, {120})}),
     72, 72},
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const RefreshCase& c, std::ostream* os) { *os << c.name; }

class RefreshTable : public ::testing::TestWithParam<RefreshCase> {};

uint32_t requested(const ModeRequest& request) {
  return request.change ? request.frequency : kUnchanged;
}

TEST_P(RefreshTable, ChoosesRate) {
  const RefreshCase& c = GetParam();
  EXPECT_EQ(c.named,
            requested(chooseModeRequest(c.modes.data(), c.modes.size(), 1024, 768, 32, false)));
  EXPECT_EQ(c.current,
            requested(chooseModeRequest(c.modes.data(), c.modes.size(), 1024, 768, 32, true)));
}

INSTANTIATE_TEST_SUITE_P(Lists, RefreshTable, ::testing::ValuesIn(kRefreshCases), ParamName());

// Frames are paced at the display's own rate; the hardware-default values
// 0 and 1 (Wine on a virtual X display reports 0) mean 60 Hz.
TEST(PacingRate, ReportedRateOrSixty) {
  EXPECT_EQ(60u, usableRefreshRate(0));
  EXPECT_EQ(60u, usableRefreshRate(1));
  EXPECT_EQ(2u, usableRefreshRate(2));
  EXPECT_EQ(75u, usableRefreshRate(75));
  EXPECT_EQ(144u, usableRefreshRate(144));
}

struct DialogCase {
  const char* name;
  Modes modes;
  Entries expected;
};

const DialogCase kDialogCases[] = {
    {"RepeatedRatesYieldOneEntryPerSize",
     joined({atRates(640, 480, 32, {60, 75, 85}), atRates(800, 600, 32, {60, 75, 85}),
             atRates(1024, 768, 32, {60, 75, 85})}),
     {"640x480x32", "800x600x32", "1024x768x32"}},
    {"NarrowerAfterWiderSkippedAt32", joined({atRates(1280, 720, 32, {60}), atRates(1024, 768, 32, {60})}),
     {"1280x720x32"}},
    {"NarrowerAfterWiderSkippedAt16", joined({atRates(1280, 720, 16, {60}), atRates(1024, 768, 16, {60})}),
     {"1280x720x16"}},
    {"DifferentWidthEnoughAt24", joined({atRates(1280, 720, 24, {60}), atRates(1024, 768, 24, {60})}),
     {"1280x720x24", "1024x768x24"}},
    {"SameWidthTallerSkippedAt24", joined({atRates(1024, 600, 24, {60}), atRates(1024, 768, 24, {60})}),
     {"1024x600x24"}},
    {"NotTallerSkipped", joined({atRates(1280, 1024, 32, {60}), atRates(1600, 900, 32, {60})}),
     {"1280x1024x32"}},
    {"GroupsIn32_24_16OrderWhateverTheEnumeration",
     joined({atRates(1024, 768, 16, {60}), atRates(1024, 768, 24, {60}), atRates(1024, 768, 32, {60}),
             atRates(800, 600, 32, {60})}),
     {"1024x768x32", "1024x768x24", "1024x768x16"}},
    {"EachScanStartsFromZero",
     joined({atRates(1024, 768, 32, {60}), atRates(640, 480, 16, {60})}),
     {"1024x768x32", "640x480x16"}},
    {"WhatWineListsOnXvfb",
     joined({atRates(1024, 768, 32, {0}), atRates(1024, 768, 16, {0}), atRates(1024, 768, 8, {0})}),
     {"1024x768x32", "1024x768x16"}},
    {"OnlyOtherDepthsGiveNothing", joined({atRates(1024, 768, 8, {60}), atRates(1024, 768, 15, {60})}),
     {}},
    {"EmptyListGivesNothing", {}, {}},
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const DialogCase& c, std::ostream* os) { *os << c.name; }

class DialogTable : public ::testing::TestWithParam<DialogCase> {};

Entries listed(const Modes& modes, size_t capacity) {
  std::vector<DialogModeEntry> entries(capacity + 1);
  entries[capacity].text[0] = '!';  // a write past the capacity shows here
  size_t count = listDialogModes(modes.data(), modes.size(), entries.data(), capacity);
  EXPECT_LE(count, capacity);
  EXPECT_EQ('!', entries[capacity].text[0]) << "wrote past the capacity";
  Entries texts;
  for (size_t i = 0; i < count && i < capacity; ++i) texts.push_back(entries[i].text);
  return texts;
}

TEST_P(DialogTable, ListsEntries) {
  const DialogCase& c = GetParam();
  // As many entries as modes is always room enough.
  EXPECT_EQ(c.expected, listed(c.modes, c.modes.size()));
}

// A full list stops cleanly, keeping the first entries in their order.
TEST(DialogList, StopsAtItsCapacity) {
  Modes modes = joined({atRates(640, 480, 32, {60}), atRates(800, 600, 32, {60}),
                        atRates(800, 600, 16, {60})});
  EXPECT_EQ(Entries({"640x480x32", "800x600x32"}), listed(modes, 2));
  EXPECT_EQ(Entries({"640x480x32"}), listed(modes, 1));
  EXPECT_EQ(Entries(), listed(modes, 0));
}

INSTANTIATE_TEST_SUITE_P(Lists, DialogTable, ::testing::ValuesIn(kDialogCases), ParamName());
// Windows lists every mode once per scaling option (dmDisplayFixedOutput):
// 600 distinct modes three times over would fill 1024 entries before the
// largest size came up. Counted once, every one is kept, the last listed
// high-refresh 4K mode included, and nothing goes past the capacity.
TEST(DistinctModes, RepeatedEntriesCountOnce) {
  Modes enumerated;
  for (uint32_t width = 800; width < 800 + 200 * 8; width += 8)
    for (uint32_t bits : {16u, 32u})
      for (int repeat = 0; repeat < 3; ++repeat) enumerated.push_back({width, 600, bits, 60});
  for (int repeat = 0; repeat < 3; ++repeat)
    for (uint32_t rate : {60u, 120u, 144u}) enumerated.push_back({3840, 2160, 32, rate});
  std::vector<DisplayMode> kept(kMaxDisplayModes);
  size_t count = 0;
  for (const DisplayMode& mode : enumerated)
    count = addDistinctMode(kept.data(), count, kMaxDisplayModes, mode);
  EXPECT_EQ(403u, count);
  EXPECT_EQ(144u, chooseModeRequest(kept.data(), count, 3840, 2160, 32, false).frequency);

  size_t small = 0;
  DisplayMode two[3] = {};
  for (const DisplayMode& mode : enumerated) small = addDistinctMode(two, small, 2, mode);
  EXPECT_EQ(2u, small);
  EXPECT_EQ(0u, two[2].width) << "wrote past the capacity";
  EXPECT_EQ(32u, two[1].bits);
}

}  // namespace
