#pragma once

#include <QObject>
#include <QString>

// Base of the form's file dialog components. The form state store keeps
// the folder a dialog opens in; the concrete dialogs (save, open) derive
// from this and add their own options and their Execute().
class TFileDialog : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString InitialDir READ InitialDir WRITE setInitialDir)
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)

public:
    explicit TFileDialog(QObject *parent = nullptr) : QObject(parent) {}

    QString InitialDir() const { return m_initialDir; }
    void setInitialDir(const QString &dir) { m_initialDir = dir; }
    QString FileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }

private:
    QString m_initialDir;
    QString m_fileName;
};
