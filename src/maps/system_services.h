#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace orvalis {

// The desktop around the program: default browser, starting programs,
// opening addresses. Tests replace it with a recording fake.
class SystemServices {
public:
    virtual ~SystemServices() = default;
    // Desktop entry of the default web browser ("firefox.desktop"), or empty.
    virtual QString defaultBrowserEntry() = 0;
    virtual bool startProgram(const QString &program, const QStringList &arguments) = 0;
    // Opens an address with the desktop's handler; returns a shell-style
    // result code: above 32 on success, 2 when nothing could open it.
    virtual int openUrl(const QUrl &url) = 0;
};

class QtSystemServices : public SystemServices {
public:
    QString defaultBrowserEntry() override;
    bool startProgram(const QString &program, const QStringList &arguments) override;
    int openUrl(const QUrl &url) override;
};

}  // namespace orvalis
