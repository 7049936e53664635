#include "controls/SpinButtonPair.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

class SpinButtonPairTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto *layout = new QVBoxLayout(&m_window);
        m_field = new QLineEdit;
        m_other = new QLineEdit;
        layout->addWidget(m_field);
        layout->addWidget(m_other);
        m_pair = new SpinButtonPair(m_field);
        m_window.show();
        m_window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        m_other->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(m_other->hasFocus());
    }

    QAbstractButton *button(const char *name) const
    {
        return m_pair->findChild<QAbstractButton *>(QString::fromLatin1(name));
    }

    QWidget m_window;
    QLineEdit *m_field = nullptr;
    QLineEdit *m_other = nullptr;
    SpinButtonPair *m_pair = nullptr;
};

TEST_F(SpinButtonPairTest, StartsAtItsFixedSizeWithUpAboveDown)
{
    EXPECT_EQ(m_pair->size(), QSize(15, 17));
    QAbstractButton *up = button("stepUpButton");
    QAbstractButton *down = button("stepDownButton");
    ASSERT_TRUE(up && down);
    EXPECT_EQ(up->geometry().top(), 0);
    EXPECT_EQ(up->geometry().bottom() + 1, down->geometry().top());
    EXPECT_EQ(down->geometry().bottom() + 1, m_pair->height());
    EXPECT_EQ(up->width(), m_pair->width());
    EXPECT_EQ(down->width(), m_pair->width());

    m_pair->resize(15, 30);
    EXPECT_EQ(down->geometry().bottom() + 1, 30);
}

TEST_F(SpinButtonPairTest, EachButtonSignalsItsOwnDirection)
{
    QSignalSpy ups(m_pair, &SpinButtonPair::upClicked);
    QSignalSpy downs(m_pair, &SpinButtonPair::downClicked);
    QTest::mouseClick(button("stepUpButton"), Qt::LeftButton);
    EXPECT_EQ(ups.count(), 1);
    EXPECT_EQ(downs.count(), 0);
    QTest::mouseClick(button("stepDownButton"), Qt::LeftButton);
    QTest::mouseClick(button("stepDownButton"), Qt::LeftButton);
    EXPECT_EQ(ups.count(), 1);
    EXPECT_EQ(downs.count(), 2);
}

TEST_F(SpinButtonPairTest, PressingAButtonMovesTheFocusToTheField)
{
    QTest::mouseClick(button("stepDownButton"), Qt::LeftButton);
    EXPECT_TRUE(m_field->hasFocus());
}

TEST_F(SpinButtonPairTest, AFieldThatTakesNoFocusDoesNotGetIt)
{
    m_field->setFocusPolicy(Qt::NoFocus);
    QTest::mouseClick(button("stepUpButton"), Qt::LeftButton);
    EXPECT_TRUE(m_other->hasFocus());
}

} // namespace
