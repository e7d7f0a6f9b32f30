// Modal popups and the file dialog on Qt; tests answer them through the popup script. A warning
// is logged either way.
#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <algorithm>
#include <cstring>

#include "toolkit/internal.h"
#include "toolkit/popup_log.h"
#include "toolkit/popup_script.h"

using toolkit_internal::PopupKind;
using toolkit_internal::PopupScript;

namespace {

// Shows folders and the files that can be run. (A permission filter on the dialog itself would
// hide every file and folder that also has other permissions.)
class ProgramsOnly : public QSortFilterProxyModel {
  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (files == nullptr) {
            return true;
        }
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || info.isExecutable();
    }
};

int ShowMessageBox(QMessageBox::Icon icon, const char* title, const char* message, bool ask) {
    QMessageBox box(icon, QString::fromUtf8(title), QString::fromUtf8(message));
    box.setStyleSheet(
        QStringLiteral("QLabel { font-size: 16pt; } QPushButton { font-size: 14pt;"
                       " min-width: 110px; min-height: 40px; }"));
    QPushButton* yes = nullptr;
    if (ask) {
        yes = box.addButton(QStringLiteral("예"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("아니오"), QMessageBox::NoRole);
        box.setDefaultButton(no);
        box.setEscapeButton(no);
    } else {
        box.setDefaultButton(box.addButton(QStringLiteral("확인"), QMessageBox::AcceptRole));
    }
    box.exec();
    return ask && box.clickedButton() == yes ? 1 : 0;
}

}  // namespace

int MessagePopup(const char* title, const char* message) {
    toolkit_internal::LogIfWarning(title, message);
    PopupScript& s = toolkit_internal::CurrentPopupScript();
    if (s.active) {
        s.shown.push_back({PopupKind::MESSAGE, title, message});
        return 0;
    }
    ShowMessageBox(QMessageBox::Warning, title, message, false);
    return 0;
}

int ConfirmPopup(const char* title, const char* message) {
    PopupScript& s = toolkit_internal::CurrentPopupScript();
    if (s.active) {
        return toolkit_internal::AnswerConfirm(s, title, message);
    }
    return ShowMessageBox(QMessageBox::Question, title, message, true);
}

int PasswordPopup(const char* title, const char* message, char* responseBuffer,
                  std::size_t bufferSize) {
    if (responseBuffer == nullptr || bufferSize == 0) {
        return 0;
    }
    std::string answer;
    PopupScript& s = toolkit_internal::CurrentPopupScript();
    if (s.active) {
        s.shown.push_back({PopupKind::PASSWORD, title, message});
        if (s.password_answers.empty()) {
            return 0;
        }
        answer = s.password_answers.front();
        s.password_answers.pop_front();
    } else {
        QInputDialog dialog;
        dialog.setWindowTitle(QString::fromUtf8(title));
        dialog.setLabelText(QString::fromUtf8(message));
        dialog.setTextEchoMode(QLineEdit::Password);
        dialog.setOkButtonText(QStringLiteral("확인"));
        dialog.setCancelButtonText(QStringLiteral("취소"));
        dialog.setStyleSheet(
            QStringLiteral("QLabel, QLineEdit { font-size: 16pt; } QPushButton {"
                           " font-size: 14pt; min-width: 110px; min-height: 40px; }"));
        if (dialog.exec() != QDialog::Accepted) {
            return 0;
        }
        answer = dialog.textValue().toStdString();
    }
    // Cut whole characters only.
    std::size_t n = std::min(answer.size(), bufferSize - 1);
    while (n > 0 && n < answer.size() && (static_cast<unsigned char>(answer[n]) & 0xC0) == 0x80) {
        --n;
    }
    std::memcpy(responseBuffer, answer.data(), n);
    responseBuffer[n] = '\0';
    return 1;
}

int PromptPopup(const char* title, const char* message, char* responseBuffer,
                int maxResponseLength) {
    std::string text;
    PopupScript& s = toolkit_internal::CurrentPopupScript();
    bool answered = false;
    if (s.active) {
        answered = toolkit_internal::AnswerPrompt(s, title, message, &text);
    } else {
        QInputDialog dialog;
        dialog.setWindowTitle(QString::fromUtf8(title));
        dialog.setLabelText(QString::fromUtf8(message));
        dialog.setOkButtonText(QStringLiteral("확인"));
        dialog.setCancelButtonText(QStringLiteral("취소"));
        dialog.setStyleSheet(
            QStringLiteral("QLabel { font-size: 16pt; } QLineEdit { font-size: 16pt; min-width: "
                           "420px; } QPushButton { font-size: 14pt; min-width: 110px; "
                           "min-height: 40px; }"));
        answered = dialog.exec() == QDialog::Accepted;
        text = dialog.textValue().trimmed().toStdString();
        answered = answered && !text.empty();
    }
    return toolkit_internal::CopyResponse(answered, text, responseBuffer, maxResponseLength);
}

int FileSelectPopupEx(const char* defaultDirectory, const char* defaultFileSpec,
                      const char* fileTypeList, const char* title, int buttonLabel,
                      int /*restrictDirectory*/, int /*restrictExtension*/, int /*allowCancel*/,
                      int /*allowMakeDirectory*/, char* pathBuffer, std::size_t pathBufferSize) {
    std::string chosen;
    PopupScript& s = toolkit_internal::CurrentPopupScript();
    if (s.active) {
        s.shown.push_back(
            {PopupKind::FILE_SELECT, title, std::string(defaultDirectory) + " " + defaultFileSpec});
        if (!s.file_answers.empty()) {
            chosen = s.file_answers.front();
            s.file_answers.pop_front();
        }
    } else {
        QFileDialog dialog(nullptr, QString::fromUtf8(title));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (buttonLabel == VAL_SAVE_BUTTON) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setLabelText(QFileDialog::Accept, QStringLiteral("저장"));
        } else {
            dialog.setFileMode(QFileDialog::ExistingFile);
        }
        if (buttonLabel == VAL_SELECT_BUTTON) {
            dialog.setLabelText(QFileDialog::Accept, QStringLiteral("선택"));
        }
        const QString pattern = QString::fromUtf8(defaultFileSpec);
#ifdef Q_OS_WIN
        dialog.setNameFilter(QString::fromUtf8(fileTypeList));
#else
        // Programs here carry no ".exe": the same request offers the executable files.
        (void)fileTypeList;
        if (pattern.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
            auto* programs = new ProgramsOnly;
            programs->setParent(&dialog);
            dialog.setProxyModel(programs);
        } else {
            dialog.setNameFilter(pattern);
        }
#endif
        dialog.setDirectory(QString::fromUtf8(defaultDirectory));
        if (buttonLabel == VAL_SAVE_BUTTON && pattern.startsWith(QLatin1String("*."))) {
            dialog.setDefaultSuffix(pattern.mid(2));
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = dialog.selectedFiles().first().toStdString();
        }
    }
    if (chosen.empty()) {
        return VAL_NO_FILE_SELECTED;
    }
    if (chosen.size() >= pathBufferSize) {
        MessagePopup(WARNING_TITLE, "선택한 파일의 경로가 너무 깁니다.");
        return VAL_NO_FILE_SELECTED;
    }
    std::memcpy(pathBuffer, chosen.c_str(), chosen.size() + 1);
    if (buttonLabel == VAL_SAVE_BUTTON && !QFileInfo::exists(QString::fromStdString(chosen))) {
        return VAL_NEW_FILE_SELECTED;
    }
    return VAL_EXISTING_FILE_SELECTED;
}
