// The progress figures kvr, the progress dialog and the status bar show.

#include <gtest/gtest.h>

#include "util/ProgressMeter.h"

namespace kv {
namespace {

struct ProgressCase {
    const char* name;
    int64_t filesDone, files, bytesDone, bytes;
    double seconds;
    std::string text;
};

class ProgressText : public testing::TestWithParam<ProgressCase> {};

TEST_P(ProgressText, SaysWhatIsDoneTheRateAndWhatIsLeft) {
    const ProgressCase& c = GetParam();
    EXPECT_EQ(ProgressMeter::text({c.filesDone, c.files, c.bytesDone, c.bytes}, c.seconds,
                                  LocaleSeparators::french()),
              c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Meter, ProgressText,
    testing::Values(
        // Within the first second: no rate yet.
        ProgressCase{"Start", 0, 12, 0, 4'000'000, 0.2, "0/12 fichiers  0,00 Mo/4,00 Mo"},
        ProgressCase{"Rate", 3, 12, 1'000'000, 4'000'000, 2.0,
                     "3/12 fichiers  1,00 Mo/4,00 Mo  500,00 Ko/s  reste 6 s"},
        ProgressCase{"Long", 1, 2, 1'500'000'000, 3'000'000'000, 100.0,
                     "1/2 fichiers  1,50 Go/3,00 Go  15,00 Mo/s  reste 1 min 40 s"},
        ProgressCase{"Done", 2, 2, 5'000, 5'000, 3.0, "2/2 fichiers  5,00 Ko/5,00 Ko  1,67 Ko/s"},
        // Without sizes the rate goes by files; without a count only what is done.
        ProgressCase{"FilesOnly", 10, 40, 0, 0, 5.0, "10/40 fichiers  reste 15 s"},
        ProgressCase{"NoCount", 7, 0, 2'000'000, 8'000'000, 2.0,
                     "7 fichiers  2,00 Mo/8,00 Mo  1,00 Mo/s  reste 6 s"},
        ProgressCase{"Clamped", 9, 4, 9'000, 4'000, 2.0,
                     "4/4 fichiers  4,00 Ko/4,00 Ko  2,00 Ko/s"}),
    [](const auto& info) { return std::string(info.param.name); });

// A run reports rows and percentages; the meter counts the bytes of the
// rows done and the part of the row under way.
TEST(ProgressMeter, RowsAndPercentBecomeBytes) {
    ProgressMeter meter;
    meter.start(std::vector<int64_t>{1000, 3000, -5, 6000});
    EXPECT_EQ(meter.amounts().bytes, 10000);
    EXPECT_EQ(meter.amounts().files, 4);
    meter.setRow(1);
    meter.setPercent(50);
    EXPECT_EQ(meter.amounts().filesDone, 1);
    EXPECT_EQ(meter.amounts().bytesDone, 2500);
    meter.setRow(3);  // a new row starts at 0 %
    EXPECT_EQ(meter.amounts().bytesDone, 4000);
    meter.setRow(9);  // past the end: everything is done
    EXPECT_EQ(meter.amounts().bytesDone, 10000);
    meter.start(5);  // without sizes only files are counted
    meter.setRow(2);
    EXPECT_EQ(meter.amounts().bytes, 0);
    EXPECT_EQ(meter.amounts().filesDone, 2);
}

}  // namespace
}  // namespace kv
