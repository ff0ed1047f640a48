// The gains row is picked by the sensor and the band count: four-band WorldView-2 keeps its
// row, eight bands take the eight-band row, generic serves any count, and a sensor without a
// row for the count is refused with a message naming what it has.

#include "imaging/sensor_gains.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/fake_host.h"

namespace lumesta::testing {
namespace {

using ::testing::ElementsAre;

TEST(SensorGainsTest, RowsArePickedBySensorAndBandCount)
{
    EXPECT_EQ(FindSensor("worldview2", 4)->ms.size(), 4u);
    EXPECT_EQ(FindSensor("worldview2", 8)->ms.size(), 8u);
    EXPECT_EQ(FindSensor("generic", 11)->ms.size(), 11u);
    EXPECT_FALSE(FindSensor("worldview2", 3));
    EXPECT_FALSE(FindSensor("geoeye1", 8));

    FakeHost host;
    EXPECT_FALSE(SensorForBands("worldview3", 4, host));
    EXPECT_FALSE(SensorForBands("worldview2", 5, host));
    EXPECT_FALSE(SensorForBands("spot", 4, host));
    EXPECT_THAT(host.Messages(),
                ElementsAre("The sensor worldview3 has no Nyquist gains for 4 MS bands (it has "
                            "them for 8).",
                            "The sensor worldview2 has no Nyquist gains for 5 MS bands (it has "
                            "them for 4 and 8).",
                            "Unknown sensor spot (known: worldview2, quickbird, ikonos, "
                            "worldview3, geoeye1, generic)."));
}

}  // namespace
}  // namespace lumesta::testing
