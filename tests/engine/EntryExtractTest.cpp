#include <gtest/gtest.h>

#include "engine/EntryExtract.h"

namespace kv::format {
namespace {

struct PlacementCase {
    const char* name;
    std::string folder;
    std::string fileName;
    Placement placement;
    std::optional<std::string> destination;
};

class DestinationFolder : public testing::TestWithParam<PlacementCase> {};

TEST_P(DestinationFolder, FollowsThePlacementAndRefusesEscapes) {
    const auto& c = GetParam();
    EntryRecord record;
    record.folder = c.folder;
    record.fileName = c.fileName;
    EXPECT_EQ(destinationFolder(record, c.placement, "E:\\Dest\\"), c.destination);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DestinationFolder,
    testing::Values(
        PlacementCase{"Origin", "D:\\Docs\\Sub\\", "a.txt", Placement::Origin, "D:\\Docs\\Sub\\"},
        PlacementCase{"TreeDropsTheDrive", "D:\\Docs\\Sub\\", "a.txt", Placement::Tree,
                      "E:\\Dest\\Docs\\Sub\\"},
        PlacementCase{"TreeOfARoot", "D:\\", "a.txt", Placement::Tree, "E:\\Dest\\"},
        PlacementCase{"Flat", "D:\\Docs\\Sub\\", "a.txt", Placement::Flat, "E:\\Dest\\"},
        PlacementCase{"DotsInNamesAreFine", "D:\\a..b\\", "..x", Placement::Tree,
                      "E:\\Dest\\a..b\\"},
        PlacementCase{"ParentInTree", "D:\\Docs\\..\\..\\", "a.txt", Placement::Tree, std::nullopt},
        PlacementCase{"ParentRightAfterDrive", "C:\\..\\", "a.txt", Placement::Tree, std::nullopt},
        PlacementCase{"ParentBehindHostSeparator", "C:\\a/../../b\\", "a.txt", Placement::Tree,
                      std::nullopt},
        PlacementCase{"ParentRefusedEvenFlat", "C:\\..\\", "a.txt", Placement::Flat, std::nullopt},
        PlacementCase{"ParentAtOrigin", "C:\\Docs\\..\\Windows\\", "a.txt", Placement::Origin,
                      std::nullopt},
        PlacementCase{"OriginNeedsADrive", "\\\\server\\share\\", "a.txt", Placement::Origin,
                      std::nullopt},
        PlacementCase{"OriginNeedsRoot", "C:Docs\\", "a.txt", Placement::Origin, std::nullopt},
        PlacementCase{"EmptyName", "C:\\Docs\\", "", Placement::Flat, std::nullopt},
        PlacementCase{"NameDotDot", "C:\\Docs\\", "..", Placement::Flat, std::nullopt},
        PlacementCase{"NameWithBackslash", "C:\\Docs\\", "..\\x", Placement::Flat, std::nullopt},
        PlacementCase{"NameWithSlash", "C:\\Docs\\", "a/b", Placement::Tree, std::nullopt},
        PlacementCase{"NameWithColon", "C:\\Docs\\", "C:x", Placement::Flat, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv::format
