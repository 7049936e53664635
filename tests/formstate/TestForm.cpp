#include "TestForm.h"

#include "formstate/FormStateError.h"

#include <QVBoxLayout>

TTestForm::TTestForm()
{
    setObjectName(QStringLiteral("TestForm1"));
    auto *layout = new QVBoxLayout(this);

    Name_Edit = new QLineEdit(QStringLiteral("designed"), this);
    Name_Edit->setObjectName(QStringLiteral("Name_Edit"));
    layout->addWidget(Name_Edit);

    Flag_Box = new QCheckBox(QStringLiteral("Flag"), this);
    Flag_Box->setObjectName(QStringLiteral("Flag_Box"));
    Flag_Box->setEnabled(false);
    connect(Flag_Box, &QCheckBox::clicked, this, [this] { ++flagClicks; });
    layout->addWidget(Flag_Box);

    Choice_Box = new QGroupBox(QStringLiteral("Choice"), this);
    Choice_Box->setObjectName(QStringLiteral("Choice_Box"));
    auto *choiceLayout = new QVBoxLayout(Choice_Box);
    for (const char *name : {"First_Radio", "Second_Radio", "Third_Radio"}) {
        auto *radio = new QRadioButton(QLatin1String(name), Choice_Box);
        radio->setObjectName(QLatin1String(name));
        choiceLayout->addWidget(radio);
        choices << radio;
    }
    choices[0]->setChecked(true);
    layout->addWidget(Choice_Box);

    Mode_Group = new QButtonGroup(this);
    Mode_Group->setObjectName(QStringLiteral("Mode_Group"));
    for (const char *name : {"Fast_Button", "Slow_Button"}) {
        auto *button = new QPushButton(QLatin1String(name), this);
        button->setObjectName(QLatin1String(name));
        button->setCheckable(true);
        Mode_Group->addButton(button);
        layout->addWidget(button);
        modes << button;
    }
    modes[0]->setChecked(true);

    Fixed_Combo = new QComboBox(this);
    Fixed_Combo->setObjectName(QStringLiteral("Fixed_Combo"));
    Fixed_Combo->addItems({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    Fixed_Combo->setCurrentIndex(1);
    layout->addWidget(Fixed_Combo);

    Hist_Combo = new QComboBox(this);
    Hist_Combo->setObjectName(QStringLiteral("Hist_Combo"));
    Hist_Combo->setEditable(true);
    Hist_Combo->addItems({QStringLiteral("one"), QStringLiteral("two")});
    Hist_Combo->setEditText(QStringLiteral("designed text"));
    layout->addWidget(Hist_Combo);

    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    auto *pageA = new QWidget;
    pageA->setObjectName(QStringLiteral("PageA"));
    auto *pageB = new QWidget;
    pageB->setObjectName(QStringLiteral("PageB"));
    Pages->addTab(pageA, QStringLiteral("A"));
    Pages->addTab(pageB, QStringLiteral("B"));
    Rich_Memo = new QTextEdit(pageB);
    Rich_Memo->setObjectName(QStringLiteral("Rich_Memo"));
    Rich_Memo->setPlainText(QStringLiteral("rich"));
    layout->addWidget(Pages);

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Notes_Memo = new QPlainTextEdit(QStringLiteral("note"), Splitter1);
    Notes_Memo->setObjectName(QStringLiteral("Notes_Memo"));
    Log_Memo = new QPlainTextEdit(QStringLiteral("log"), Splitter1);
    Log_Memo->setObjectName(QStringLiteral("Log_Memo"));
    Log_Memo->setProperty("Tag", -1);
    layout->addWidget(Splitter1, 1);

    sd = new TFileDialog(this);
    sd->setObjectName(QStringLiteral("sd"));
}

TEnhancedForm::TEnhancedForm(const QString &settingsFile, FormEvents &events,
                             const EnhancedFormDesign &design)
    : m_events(events)
{
    if (design.fixedSize)
        setFixedSize(420, 560);
    FormEnh1 = new TFormEnh(this);
    FormEnh1->setObjectName(QStringLiteral("FormEnh1"));
    FormEnh1->setSettingsFile(settingsFile);
    FormEnh1->setEnabled(design.enabled);
    FormEnh1->setSaveValues(design.saveValues);
    FormEnh1->setSaveState(design.saveState);
    FormEnh1->setReLoadOnClose(design.reloadOnClose);
    FormEnh1->Loaded();
    FormCreate();
}

TEnhancedForm::~TEnhancedForm()
{
    ++m_events.destroyHandled;
    try {
        FormEnh1->FormDestroying();
    } catch (const EFormState &error) {
        m_events.saveError = QString::fromLatin1(error.what());
    }
    m_events.saveFailure = FormEnh1->SaveFailure();
}

void TEnhancedForm::FormCreate()
{
    m_events.nameAtCreate = Name_Edit->text();
    m_events.flagClicksAtCreate = flagClicks;
}

void TEnhancedForm::closeEvent(QCloseEvent *event)
{
    ++m_events.closeHandled;
    TTestForm::closeEvent(event);
    FormEnh1->FormClosing(modalResultOk);
}
