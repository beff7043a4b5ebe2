// The main window's settings: window placement, DAO choice and hide options, and the histories of the
// four login combo boxes, restored at creation and stored at close; plus browsing for the two files.
#include "app/fm_Main.h"

#include "ui_fm_Main.h"

#include "settings/KaDumbIniFile.h"
#include "ui/Dialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>

namespace {

const QString NotStored = QStringLiteral("???");

// Leading and trailing blanks and control characters removed.
QString trimmed(const QString& s) {
    qsizetype first = 0, last = s.size();
    while (first < last && s.at(first).unicode() <= ' ')
        ++first;
    while (last > first && s.at(last - 1).unicode() <= ' ')
        --last;
    return s.mid(first, last - first);
}

// Equal when only the case of the letters A to Z differs.
bool sameIgnoringAsciiCase(const QString& a, const QString& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a.at(i).unicode(), y = b.at(i).unicode();
        if (x >= 'a' && x <= 'z') x = char16_t(x - 32);
        if (y >= 'a' && y <= 'z') y = char16_t(y - 32);
        if (x != y) return false;
    }
    return true;
}

QString historyKey(const QComboBox* combo, int n) {
    return combo->objectName() + QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// Reports focus leaving a combo box (or its line edit) to the window.
class TComboExitFilter : public QObject {
public:
    TComboExitFilter(QComboBox* combo, std::function<void(QComboBox*)> onExit)
        : QObject(combo), m_combo(combo), m_onExit(std::move(onExit)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusOut) {
            auto* focusEvent = static_cast<QFocusEvent*>(event);
            if (focusEvent->reason() != Qt::PopupFocusReason) m_onExit(m_combo);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QComboBox* m_combo;
    std::function<void(QComboBox*)> m_onExit;
};

} // namespace

void TForm1::RestoreWindowSettings(int& savedDAOChoice) {
    TKaDumbIniFileMgr& ini = *m_iniMgr;
    const int left = ini.ReadInteger(QStringLiteral("Main_Left"), 0, 1000, 100);
    const int top = ini.ReadInteger(QStringLiteral("Main_Top"), 0, 800, 100);
    const int width = ini.ReadInteger(QStringLiteral("Main_Width"), 0, 2000, 600);
    const int height = ini.ReadInteger(QStringLiteral("Main_Height"), 0, 1200, 400);
    setGeometry(left, top, width, height);
    savedDAOChoice = ini.ReadInteger(QStringLiteral("Main_DAOVer"), 0, 1, 1);
    ui->ck_PermHideSysObj->setChecked(ini.ReadBool(QStringLiteral("Main_PermHideSysObj"), true));
    ui->ck_PermHidePerm0->setChecked(ini.ReadBool(QStringLiteral("Main_PermHidePerm0"), false));
}

void TForm1::InstallComboExitFilters() {
    for (QComboBox* combo : {ui->cb_DB, ui->cb_MDW, ui->cb_Username, ui->cb_Password}) {
        auto* filter = new TComboExitFilter(combo, [this](QComboBox* c) { cb_Exit(c); });
        combo->installEventFilter(filter);
        if (combo->lineEdit()) combo->lineEdit()->installEventFilter(filter);
    }
}

void TForm1::StoreWindowSettings() {
    TKaDumbIniFileMgr& ini = *m_iniMgr;
    const QRect bounds = geometry();
    ini.WriteInteger(QStringLiteral("Main_Left"), bounds.left());
    ini.WriteInteger(QStringLiteral("Main_Top"), bounds.top());
    ini.WriteInteger(QStringLiteral("Main_Width"), bounds.width());
    ini.WriteInteger(QStringLiteral("Main_Height"), bounds.height());
    ini.WriteInteger(QStringLiteral("Main_DAOVer"), ui->rb_DAO35->isChecked() ? 0 : 1);
    ini.WriteBool(QStringLiteral("Main_PermHideSysObj"), ui->ck_PermHideSysObj->isChecked());
    ini.WriteBool(QStringLiteral("Main_PermHidePerm0"), ui->ck_PermHidePerm0->isChecked());
}

void TForm1::RestoreHistory(QComboBox* combo) {
    combo->clear();
    for (int n = 0; n <= 99; ++n) {
        const QString value = m_iniMgr->ReadString(historyKey(combo, n), NotStored);
        if (value == NotStored) break;
        combo->addItem(trimmed(value));
    }
    const QString text =
        m_iniMgr->ReadString(combo->objectName() + QStringLiteral("_Str"), NotStored).trimmed();
    if (text != NotStored)
        combo->setEditText(text);
    else
        combo->setEditText(combo == ui->cb_Username ? QStringLiteral("admin") : QString());
}

void TForm1::StoreHistory(QComboBox* combo) {
    const int last = std::min(combo->count() - 1, 99);
    for (int n = 0; n <= last; ++n)
        m_iniMgr->WriteString(historyKey(combo, n), combo->itemText(n));
    m_iniMgr->WriteString(combo->objectName() + QStringLiteral("_Str"), combo->currentText());
}

void TForm1::AddToHistory(QComboBox* combo) {
    const QString text = combo->currentText();
    if (text.isEmpty()) return;
    // Paths name different files when only their case differs, and passwords are case-sensitive;
    // user names are not.
    const bool exact = combo != ui->cb_Username;
    for (int i = 0; i < combo->count(); ++i) {
        const QString entry = combo->itemText(i);
        const bool equal = exact ? entry == text : sameIgnoringAsciiCase(entry, text);
        if (equal) {
            combo->setCurrentIndex(i);
            combo->setEditText(entry);
            return;
        }
    }
    combo->insertItem(0, text);
    combo->setCurrentIndex(0);
    combo->setEditText(text);
}

void TForm1::cb_Exit(QComboBox* combo) {
    AddToHistory(combo);
}

void TForm1::btClearHistoryClick() {
    for (QComboBox* combo : {ui->cb_DB, ui->cb_MDW, ui->cb_Username, ui->cb_Password}) {
        const QString text = combo->currentText();
        combo->clear();
        combo->setEditText(text);
        m_iniMgr->DeleteKeysWithPrefix(combo->objectName());
    }
}

void TForm1::bt_BrowseClick(QObject* sender) {
    QComboBox* target = nullptr;
    ui::OpenFileRequest request;
    request.filters = {QStringLiteral("MS Access files (*.mdb)"), QStringLiteral("Workgroup files (*.mdw)"),
                       QStringLiteral("Any (*)")};
    if (sender == ui->bt_DBBrowse) {
        target = ui->cb_DB;
        request.defaultSuffix = QStringLiteral("mdb");
        request.filterIndex = 0;
        request.title = QStringLiteral("Select Database");
    } else if (sender == ui->bt_MDWBrowse) {
        target = ui->cb_MDW;
        request.defaultSuffix = QStringLiteral("mdw");
        request.filterIndex = 1;
        request.title = QStringLiteral("Select Workgroup MDW file");
    } else {
        return;
    }
    // The dialog opens in the folder of the file the box names, else of the last file chosen, else in
    // the home folder; the last file chosen is preselected when it is in that folder.
    const QFileInfo current(target->currentText().trimmed()), last(m_lastBrowsedFile);
    if (!target->currentText().trimmed().isEmpty() && current.absoluteDir().exists())
        request.directory = current.absolutePath();
    else if (!m_lastBrowsedFile.isEmpty() && last.absoluteDir().exists())
        request.directory = last.absolutePath();
    else
        request.directory = QDir::homePath();
    if (!m_lastBrowsedFile.isEmpty() && last.absolutePath() == request.directory)
        request.fileName = m_lastBrowsedFile;
    const std::optional<QString> chosen = ui::openFile(this, request);
    if (!chosen) return;
    m_lastBrowsedFile = *chosen;
    target->setEditText(*chosen);
    AddToHistory(target);
}
