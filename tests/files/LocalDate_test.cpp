#include "files/LocalDate.h"

#include "tests/files/PrintText.h"

#include <gtest/gtest.h>

namespace {

TEST(LocalDate, IsTodaysLocalDateEveryTimeItIsAsked)
{
    files::LocalDate date;
    for (int i = 0; i < 3; ++i) {
        const QDate before = QDate::currentDate();
        const QDate today = date.today();
        const QDate after = QDate::currentDate();
        // Midnight may pass between the readings.
        EXPECT_TRUE(today == before || today == after)
            << qPrintable(today.toString(Qt::ISODate)) << " against "
            << qPrintable(before.toString(Qt::ISODate));
    }
}

} // namespace
