// Starting other programs, detached: the station never waits for them.
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {
toolkit_testing::Launcher replacement;
}

int LaunchProgram(const char* program, const char* argument) {
    if (replacement) {
        return replacement(program, argument);
    }
    if (program == nullptr || *program == '\0') {
        return -1;
    }
    const QStringList arguments{QString::fromUtf8(argument)};
    return QProcess::startDetached(QString::fromUtf8(program), arguments) ? 0 : -1;
}

int OpenWithDefaultProgram(const char* file) {
    if (replacement) {
        return replacement(std::string(), file);
    }
    const QString path = QFileInfo(QString::fromUtf8(file)).absoluteFilePath();
#ifdef Q_OS_WIN
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? 0 : -1;
#else
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path}) ? 0 : -1;
#endif
}

namespace toolkit_testing {
void SetLauncher(Launcher launcher) {
    replacement = std::move(launcher);
}
}  // namespace toolkit_testing
