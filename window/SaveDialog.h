#pragma once

#include "formstate/FileDialog.h"

#include <functional>

class QWidget;

// The save dialog component: remembers the last chosen file, so the next
// save starts from it, and asks before overwriting an existing file.
class TSaveDialog : public TFileDialog
{
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE setTitle)
    Q_PROPERTY(QString DefaultExt READ DefaultExt WRITE setDefaultExt)
    Q_PROPERTY(QString Filter READ Filter WRITE setFilter)

public:
    explicit TSaveDialog(QObject *parent = nullptr) : TFileDialog(parent) {}

    QString Title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }
    QString DefaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString &ext) { m_defaultExt = ext; }
    QString Filter() const { return m_filter; }
    void setFilter(const QString &filter) { m_filter = filter; }

    // Shows the dialog; true with FileName set when the user confirmed.
    bool Execute(QWidget *parent);

    // Tests answer the dialog with a file name (empty: cancelled).
    using Handler = std::function<QString(const TSaveDialog &)>;
    static void setHandler(Handler handler);

    // Where the dialog opens: the last file chosen, else InitialDir, but never
    // an empty folder or the folder of a program that takes no files there
    // (an installed one): the documents folder (or home) then, as
    // formstate::dialogFolder() tells.
    QString startPath() const;

private:
    QString m_title;
    QString m_defaultExt;
    QString m_filter;
};
