#pragma once

#include "app/dialogs.h"
#include "maps/system_services.h"

#include <QStringList>
#include <deque>

namespace orvalis::testing {

// Records every dialog and answers from a script; an unscripted question
// answers "Annuler" and an unscripted file dialog is cancelled.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        QString kind;  // "okcancel", "yescancel", "warning", "information", "error", "message", "open", "save"
        QString text;
        QString extra;  // start folder / filter
        QString folder;  // start folder of the open dialog
    };
    std::vector<Shown> shown;
    std::deque<bool> answers;
    std::deque<QString> fileNames;

    bool askOkCancel(QWidget *, const QString &text) override { return answer("okcancel", text); }
    bool askYesCancel(QWidget *, const QString &text) override { return answer("yescancel", text); }
    void warning(QWidget *, const QString &text) override { shown.push_back({"warning", text, {}, {}}); }
    void information(QWidget *, const QString &text) override { shown.push_back({"information", text, {}, {}}); }
    void error(QWidget *, const QString &text) override { shown.push_back({"error", text, {}, {}}); }
    void message(QWidget *, const QString &text) override { shown.push_back({"message", text, {}, {}}); }
    QString openFileName(QWidget *, const QString &title, const QString &startFolder, const QString &filter) override
    {
        shown.push_back({"open", title, filter, startFolder});
        return nextFile();
    }
    QString saveFileName(QWidget *, const QString &startFolder, const QString &filter, const QString &suffix) override
    {
        shown.push_back({"save", startFolder, filter + QStringLiteral("#") + suffix, {}});
        QString name = nextFile();
        if (!name.isEmpty() && !name.section(u'/', -1).contains(u'.'))
            name += u'.' + suffix;  // as the platform dialog adds the default suffix
        return name;
    }

    QStringList texts(const QString &kind) const
    {
        QStringList out;
        for (const Shown &s : shown)
            if (s.kind == kind)
                out << s.text;
        return out;
    }
    void clear() { shown.clear(); }

private:
    bool answer(const char *kind, const QString &text)
    {
        shown.push_back({kind, text, {}, {}});
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QString nextFile()
    {
        if (fileNames.empty())
            return {};
        QString f = fileNames.front();
        fileNames.pop_front();
        return f;
    }
};

// Records programs started and addresses opened; never touches the desktop.
class FakeSystemServices : public SystemServices {
public:
    QString entry;
    int urlResult = 42;
    bool startResult = true;
    QStringList started;  // "program|arg|arg"
    QList<QUrl> opened;

    QString defaultBrowserEntry() override { return entry; }
    bool startProgram(const QString &program, const QStringList &arguments) override
    {
        started << (QStringList{program} + arguments).join(u'|');
        return startResult;
    }
    int openUrl(const QUrl &url) override
    {
        opened << url;
        return urlResult;
    }
};

}  // namespace orvalis::testing
