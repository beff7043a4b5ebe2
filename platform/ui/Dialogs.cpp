#include "ui/Dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace ui {
namespace {
DialogHooks* g_hooks = nullptr;

QString applicationTitle() {
    return QStringLiteral("Keyloupe");
}
} // namespace

void installDialogHooks(DialogHooks* hooks) {
    g_hooks = hooks;
}
DialogHooks* dialogHooks() {
    return g_hooks;
}

void showMessage(const QString& text) {
    if (g_hooks) {
        g_hooks->messages << text;
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok);
    box.exec();
}

Answer confirm(const QString& text) {
    if (g_hooks) {
        g_hooks->confirmations << text;
        if (g_hooks->confirmAnswers.empty()) return Answer::Cancel;
        Answer a = g_hooks->confirmAnswers.front();
        g_hooks->confirmAnswers.pop_front();
        return a;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

int showModal(QDialog& dialog) {
    if (g_hooks) {
        g_hooks->modalTitles << dialog.windowTitle();
        // Let the dialog prepare itself as it does when shown, without showing a window. Dialogs that
        // prepare their fields on showing expose this as the invokable prepareForShow().
        if (dialog.metaObject()->indexOfMethod("prepareForShow()") >= 0)
            QMetaObject::invokeMethod(&dialog, "prepareForShow", Qt::DirectConnection);
        if (g_hooks->modalAnswers.empty()) return QDialog::Rejected;
        auto answer = std::move(g_hooks->modalAnswers.front());
        g_hooks->modalAnswers.pop_front();
        return answer(dialog);
    }
    return dialog.exec();
}

std::optional<QString> openFile(QWidget* parent, const OpenFileRequest& request) {
    if (g_hooks) {
        g_hooks->fileRequests.push_back(request);
        if (g_hooks->fileAnswers.empty()) return std::nullopt;
        std::optional<QString> answer = std::move(g_hooks->fileAnswers.front());
        g_hooks->fileAnswers.pop_front();
        return answer;
    }
    QFileDialog dialog(parent, request.title, request.directory);
    dialog.setNameFilters(request.filters);
    if (request.filterIndex >= 0 && request.filterIndex < request.filters.size())
        dialog.selectNameFilter(request.filters.at(request.filterIndex));
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setFileMode(request.folder   ? QFileDialog::Directory
                       : request.saving ? QFileDialog::AnyFile
                                        : QFileDialog::ExistingFile);
    dialog.setAcceptMode(request.saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace ui
