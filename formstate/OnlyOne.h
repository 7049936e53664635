#pragma once

#include <QObject>
#include <QString>

class QWidget;

// Keeps a form's placement and control values in the settings file across
// runs. Placed on a form (the form is its owner and parent), it restores the
// form when the form's controls have been built and saves it when the form
// is destroyed; the work is done by the routines of formstate/FormValues.h
// and formstate/FormState.h.
//
// The form drives it, always after its own handling, so that the form's
// handlers run first:
//   - its constructor, right after building its controls and before its own
//     creation handler (FormCreate), calls Loaded();
//   - its closeEvent(), after its own close handling, calls
//     FormClosing(<the dialog was closed with the OK result>);
//   - its destructor, first thing after its own destroy handling, calls
//     FormDestroying(). This cannot be left to a destroyed() signal or to this
//     component's own destructor: a widget deletes its children in its
//     destructor, before those run, and the values must be read while the
//     controls still exist. A form that shows SaveFailure() calls it from its
//     closeEvent() instead, where a box can still be shown, and again from
//     its destructor only when it was shown again after that.
// With Enabled false the calls do nothing, and the form's handlers still run
// since they are the form's own code.
//
// A settings file that cannot be read is never written; Refusal() says so
// and why, for the form to show at start. Saving at destruction raises
// nothing: when the file cannot be written the old one stays as it was and
// SaveFailure() says why, for the form to show once. Saving at close
// (FormClosing) throws EFormState ("Unable to write to <file>: <reason>").
class TFormEnh : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(bool SaveValues READ SaveValues WRITE setSaveValues)
    Q_PROPERTY(bool SaveState READ SaveState WRITE setSaveState)
    Q_PROPERTY(bool ReLoadOnClose READ ReLoadOnClose WRITE setReLoadOnClose)
    Q_PROPERTY(QString SettingsFile READ SettingsFile WRITE setSettingsFile)

public:
    explicit TFormEnh(QWidget *form);

    // Master switch: when false nothing is read or written.
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    // Control values are loaded by Loaded() and saved at destruction.
    bool SaveValues() const { return m_saveValues; }
    void setSaveValues(bool saveValues) { m_saveValues = saveValues; }
    // The window's placement is loaded by Loaded() and saved at destruction.
    bool SaveState() const { return m_saveState; }
    void setSaveState(bool saveState) { m_saveState = saveState; }
    // At close, control values are saved (OK result) or reloaded (any other).
    bool ReLoadOnClose() const { return m_reloadOnClose; }
    void setReLoadOnClose(bool reloadOnClose) { m_reloadOnClose = reloadOnClose; }
    // The settings file; empty (the default) means formstate::defaultSettingsFile().
    QString SettingsFile() const { return m_settingsFile; }
    void setSettingsFile(const QString &fileName) { m_settingsFile = fileName; }

    // End of loading: restores the control values (SaveValues), then the
    // placement (SaveState): all of it for a resizable form, only the
    // position for a form of fixed size.
    void Loaded();
    // Why the settings file was not read at the last Loaded(), as a sentence
    // for the user; empty when it was read or does not exist.
    QString Refusal() const { return m_refusal; }
    void FormClosing(bool modalResultOk);
    void FormDestroying();
    // Why the last FormDestroying() could not save the settings, as a
    // sentence for the user that gives the system's reason; empty when they
    // were saved or there was nothing to save.
    QString SaveFailure() const { return m_saveFailure; }

private:
    // The owner when it is a form (a window), otherwise null: the component
    // then does nothing.
    QWidget *ownerForm() const;

    bool m_enabled = true;
    bool m_saveValues = true;
    bool m_saveState = true;
    bool m_reloadOnClose = true;
    QString m_settingsFile;
    QString m_refusal;
    QString m_saveFailure;
};
