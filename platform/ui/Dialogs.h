#pragma once
// The one place where Keyloupe shows message boxes, confirmation boxes, modal dialogs and the
// file-open dialog. Each has a test hook so GUI tests answer them without a window appearing.
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QDialog;
class QWidget;

namespace ui {

enum class Answer { Yes, No, Cancel };

// A plain message box with an OK button.
void showMessage(const QString& text);

// The "Confirm" box: question icon, buttons Yes, No and Cancel.
Answer confirm(const QString& text);

// Shows a dialog modally and returns its result code (QDialog::done value).
int showModal(QDialog& dialog);

struct OpenFileRequest {
    QString title;
    QStringList filters;   // e.g. "MS Access files (*.mdb)"
    int filterIndex = 0;   // 0-based choice selected at opening
    QString defaultSuffix; // without the dot
    QString directory;     // initial folder
    QString fileName;      // preset file name (may be empty)
    bool saving = false;   // a save dialog: any new or existing file name
    bool folder = false;   // a folder, not a file (an existing one, or one made in the dialog)
};

// The file-open (or, with saving, file-save) dialog; the chosen full path, or nothing when cancelled.
std::optional<QString> openFile(QWidget* parent, const OpenFileRequest& request);

// Test hooks. While a hook object is installed, nothing is shown: messages are recorded, and answers are
// taken from the queues (an empty queue answers Cancel / rejected / nothing).
struct DialogHooks {
    QStringList messages;      // every message shown, in order
    QStringList confirmations; // every confirmation text, in order
    std::deque<Answer> confirmAnswers;
    std::deque<std::function<int(QDialog&)>> modalAnswers; // may fill fields, returns the result code
    QStringList modalTitles;                               // window titles of the dialogs shown
    std::deque<std::optional<QString>> fileAnswers;
    std::vector<OpenFileRequest> fileRequests;
};

void installDialogHooks(DialogHooks* hooks); // nullptr restores the real dialogs
DialogHooks* dialogHooks();

} // namespace ui
