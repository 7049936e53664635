#include "window/Application.h"
#include "window/ModalBox.h"

#include <QImage>
#include <QTimer>
#include <QWidget>
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

bool containsColour(const QImage &image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 255 && (pixel & RGB_MASK) == (colour & RGB_MASK))
                return true;
        }
    }
    return false;
}

} // namespace

TEST(ApplicationTest, WindowsShowTheProgramsOwnIcon)
{
    const QImage icon = QApplication::windowIcon().pixmap(48, 48).toImage();
    ASSERT_FALSE(icon.isNull()) << "the icon cannot be drawn";
    // The speech bubble's blue and the radio's green display: our picture.
    EXPECT_TRUE(containsColour(icon, qRgb(0x1e, 0x88, 0xe5)));
    EXPECT_TRUE(containsColour(icon, qRgb(0xa5, 0xd6, 0xa7)));

    QWidget window;
    EXPECT_EQ(window.windowIcon().pixmap(48, 48).toImage(), icon);
    EXPECT_EQ(QGuiApplication::desktopFileName(), "corvane");
}

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
