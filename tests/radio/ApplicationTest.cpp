#include "radio/Application.h"
#include "radio/ModalBox.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class ThrowingObject : public QObject
{
public:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            throw std::runtime_error("Unable to read com status: 5");
        return QObject::event(event);
    }
};

} // namespace

TEST(ApplicationTest, EscapedExceptionIsShownInOneErrorBoxAndTheProgramGoesOn)
{
    QList<ModalBoxRequest> shown;
    setModalBoxHandler([&](const ModalBoxRequest &request) {
        shown.append(request);
        return 0;
    });
    ThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&object, &event));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.first().text, "Unable to read com status: 5");
    EXPECT_EQ(shown.first().icon, ModalBoxRequest::Icon::Error);

    // The event loop still runs after the exception.
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
    setModalBoxHandler({});
}

TEST(ApplicationTest, ExceptionFromATimerHandlerReachesTheBox)
{
    QStringList texts;
    setModalBoxHandler([&](const ModalBoxRequest &request) {
        texts.append(request.text);
        return 0;
    });
    QTimer::singleShot(0, [] { throw std::runtime_error("'' is not a valid integer value"); });
    QCoreApplication::processEvents();
    EXPECT_EQ(texts, QStringList({"'' is not a valid integer value"}));
    setModalBoxHandler({});
}

TEST(ModalBoxTest, AbortBoxHasTheErrorShape)
{
    ModalBoxRequest seen;
    setModalBoxHandler([&](const ModalBoxRequest &request) {
        seen = request;
        return 0;
    });
    showAbortBox(nullptr, "text");
    EXPECT_EQ(seen.title, "Error");
    EXPECT_EQ(seen.text, "text");
    EXPECT_EQ(seen.icon, ModalBoxRequest::Icon::Error);
    EXPECT_EQ(seen.buttons, QStringList({"&Abort"}));
    setModalBoxHandler({});
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
