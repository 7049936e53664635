#pragma once

#include "formstate/FileDialog.h"
#include "formstate/OnlyOne.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>

// A form with one control of every kind whose value is kept, as designed:
// what a form looks like when built from its description.
class TTestForm : public QWidget
{
    Q_OBJECT

public:
    TTestForm();

    QLineEdit *Name_Edit = nullptr;  // "designed"
    QCheckBox *Flag_Box = nullptr;   // unchecked and disabled, like the report boxes
    QGroupBox *Choice_Box = nullptr; // three radio buttons, the first checked
    QList<QRadioButton *> choices;
    QButtonGroup *Mode_Group = nullptr; // two checkable push buttons, the first checked
    QList<QPushButton *> modes;
    QComboBox *Fixed_Combo = nullptr;     // "A", "B", "C", "B" selected
    QComboBox *Hist_Combo = nullptr;      // editable: "one", "two", text "designed text"
    QTabWidget *Pages = nullptr;          // PageA (current), PageB
    QTextEdit *Rich_Memo = nullptr;       // on PageB, "rich"
    QSplitter *Splitter1 = nullptr;       // vertical: Notes_Memo above Log_Memo, no stretch
    QPlainTextEdit *Notes_Memo = nullptr; // "note"
    QPlainTextEdit *Log_Memo = nullptr;   // Tag -1, "log"
    TFileDialog *sd = nullptr;            // no folder, no file name

    int flagClicks = 0; // calls of the check box's click handler
};

// What a form with a state component did, kept outside the form so that it
// can be looked at after the form is gone.
struct FormEvents
{
    int closeHandled = 0;   // the form's own close handling ran
    int destroyHandled = 0; // the form's own destroy handling ran
    QString saveError;      // what saving at destruction raised
    QString saveFailure;    // what the component said of saving at destruction
    QString nameAtCreate;   // Name_Edit as FormCreate found it
    int flagClicksAtCreate = -1;
};

// The state component's switches as the form description sets them, and
// whether the form has a fixed size.
struct EnhancedFormDesign
{
    bool enabled = true;
    bool saveValues = true;
    bool saveState = true;
    bool reloadOnClose = true;
    bool fixedSize = false;
};

// The test form with a TFormEnh wired the way a form drives it: Loaded()
// after the controls are built and before FormCreate, FormClosing() and
// FormDestroying() after the form's own handling.
class TEnhancedForm : public TTestForm
{
    Q_OBJECT

public:
    TEnhancedForm(const QString &settingsFile, FormEvents &events,
                  const EnhancedFormDesign &design = {});
    ~TEnhancedForm() override;

    TFormEnh *FormEnh1 = nullptr;
    bool modalResultOk = false;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();

    FormEvents &m_events;
};
