#include "tests/endtoend/EndToEndWindow.h"

#include "controls/Getdata.h"
#include "controls/LogView.h"
#include "tests/endtoend/EventLoopWait.h"
#include "window/ActivityLog.h"
#include "window/ModalBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>
#include <functional>

namespace {

constexpr int timeStampLength = 12; // HH:MM:SS.mmm

// Lines of a log pane that carry a timestamp followed by text that passes.
int countStampedLines(const LogView *pane, const std::function<bool(const QString &)> &test)
{
    static const QRegularExpression stamp(
        QStringLiteral("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3}"));
    int count = 0;
    for (const QString &line : paneParagraphs(pane)) {
        if (stamp.match(line).hasMatch() && test(line.mid(timeStampLength)))
            ++count;
    }
    return count;
}

} // namespace

EndToEndWindow::EndToEndWindow()
{
    setModalBoxHandler([](const ModalBoxRequest &request) {
        ADD_FAILURE() << "unexpected box \"" << request.title.toStdString()
                      << "\": " << request.text.toStdString();
        return 0;
    });
    m_form = std::make_unique<TForm1>(m_settingsDir.filePath(QStringLiteral("corvane.set")));
    m_form->show();
}

EndToEndWindow::~EndToEndWindow()
{
    close();
    setModalBoxHandler({});
}

void EndToEndWindow::close()
{
    m_form.reset();
}

testing::AssertionResult EndToEndWindow::press(QPushButton *button)
{
    if (!button->isEnabled())
        return testing::AssertionFailure()
               << "the button \"" << button->text().toStdString() << "\" is disabled";
    button->click();
    return testing::AssertionSuccess();
}

testing::AssertionResult EndToEndWindow::chooseProfile(RadioProfile profile)
{
    if (!m_form->RadioProfileComboBox->isEnabled())
        return testing::AssertionFailure() << "the profile selector is disabled";
    m_form->RadioProfileComboBox->setCurrentIndex(int(profile));
    return testing::AssertionSuccess();
}

testing::AssertionResult EndToEndWindow::pressConnect(const QString &portName)
{
    m_form->ComPortComboBox->setEditText(portName);
    return press(m_form->ConnectButton);
}

testing::AssertionResult EndToEndWindow::connectTo(const QString &portName)
{
    if (testing::AssertionResult pressed = pressConnect(portName); !pressed)
        return pressed;
    return waitUntil(
        [this] { return m_form->RadioState == rsReady && m_form->RegisterButton->isEnabled(); },
        QStringLiteral("answer to the probe"));
}

testing::AssertionResult EndToEndWindow::registerAs(int protocolId)
{
    m_form->ProtocolIdentifierEdit->setValue(protocolId);
    if (testing::AssertionResult pressed = press(m_form->RegisterButton); !pressed)
        return pressed;
    return waitUntil(
        [this] { return m_form->RadioState == rsRegistered && m_form->SendButton->isEnabled(); },
        QStringLiteral("answer to the registration"));
}

void EndToEndWindow::compose(int destination, const QString &text, int repetitions, int delayMs)
{
    m_form->DestISSI_Edit->setValue(destination);
    m_form->Message_Edit->setEditText(text);
    m_form->RepititionsEdit->setValue(repetitions);
    m_form->DelayEdit->setValue(delayMs);
}

testing::AssertionResult EndToEndWindow::requestBothReports()
{
    for (QCheckBox *box : {m_form->CheckBoxRec, m_form->CheckBoxCon}) {
        if (!box->isEnabled())
            return testing::AssertionFailure()
                   << "the box \"" << box->text().toStdString() << "\" is disabled";
        if (!box->isChecked())
            box->click();
    }
    return testing::AssertionSuccess();
}

int EndToEndWindow::messageEntries(const QString &text) const
{
    return countStampedLines(m_form->MessagesPad_Memo,
                             [&text](const QString &rest) { return rest == text; });
}

int EndToEndWindow::messageEntriesStartingWith(const QString &text) const
{
    return countStampedLines(m_form->MessagesPad_Memo,
                             [&text](const QString &rest) { return rest.startsWith(text); });
}

int EndToEndWindow::loggerEntriesStartingWith(const QString &text) const
{
    return countStampedLines(m_form->CommandLogger_Memo,
                             [&text](const QString &rest) { return rest.startsWith(text); });
}
