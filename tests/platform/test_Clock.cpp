#include "platform/Clock.h"

#include <gtest/gtest.h>

TEST(Clock, PinnedValueIsReturnedUntilReleased)
{
    const QDateTime pinned(QDate(2020, 2, 29), QTime(23, 59, 58, 999));
    hkt::platform::SetFixedLocalTime(pinned);
    EXPECT_EQ(hkt::platform::CurrentLocalDateTime(), pinned);
    hkt::platform::SetFixedLocalTime(std::nullopt);
    EXPECT_NE(hkt::platform::CurrentLocalDateTime(), pinned);
}
