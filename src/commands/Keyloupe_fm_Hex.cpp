#include "commands/Keyloupe_fm_Hex.h"

#include "ui_fm_Hex.h"

#include <QShowEvent>

#include "security/PermissionColumns.h"

Tfm_Hex* fm_Hex = nullptr;

namespace {
constexpr int EntryDigits = 5;
// What an entry that is not hexadecimal parses to; five digits never reach it.
constexpr std::int32_t InvalidEntry = 0xFFFFFF;

QString hexText(std::int32_t value) {
    return QString::fromStdString(PermHex(value));
}
} // namespace

std::optional<std::int32_t> ParseHexEntry(const QString& text) {
    if (text.isEmpty() || text.size() > EntryDigits) return std::nullopt;
    std::int32_t value = 0;
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

Tfm_Hex::Tfm_Hex(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfm_Hex>()) {
    ui->setupUi(this);
    // A fixed dialog border: no resizing, only the close button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    connect(ui->tx_Val, &QLineEdit::textChanged, this, &Tfm_Hex::tx_ValChange);
    connect(ui->bt_Set, &QPushButton::clicked, this, [this] { done(mrSetVal); });
    connect(ui->bt_OR, &QPushButton::clicked, this, [this] { done(mrOrVal); });
    connect(ui->bt_ANDNOT, &QPushButton::clicked, this, [this] { done(mrAndNotVal); });
    connect(ui->Button1, &QPushButton::clicked, this, &Tfm_Hex::reject);
}

Tfm_Hex::~Tfm_Hex() = default;

void Tfm_Hex::reject() {
    done(mrCancel);
}

void Tfm_Hex::showEvent(QShowEvent* event) {
    // Only the dialog's own showing prepares it, not the window system's restoring of a minimised one.
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void Tfm_Hex::setVisible(bool visible) {
    QDialog::setVisible(visible);
    // Showing hands the focus to tx_Val as if tabbed into, which selects its text; the caret goes back
    // after the last digit, so that typing fills the field from the right.
    if (visible) {
        ui->tx_Val->deselect();
        ui->tx_Val->setCursorPosition(EntryDigits);
    }
}

void Tfm_Hex::FormShow() {
    ui->tx_Val->setText(QStringLiteral("00000")); // runs Recalc when the text changes
    ui->tx_Val->setCursorPosition(EntryDigits);
    Recalc();
    ui->lb_Perm->setText(hexText(CurrentValue));
    // Typing goes into the value at once, whichever control had the focus at the last showing.
    ui->tx_Val->setFocus(Qt::OtherFocusReason);
}

bool Tfm_Hex::EntryIsValid() const {
    return ParseHexEntry(ui->tx_Val->text()).has_value();
}

void Tfm_Hex::tx_ValChange() {
    Recalc();
}

void Tfm_Hex::Recalc() {
    QLineEdit& edit = *ui->tx_Val;
    const int caret = edit.cursorPosition();
    const QString text = edit.text();
    // A character typed after five at the end pushes the first one out; anywhere else the last one goes.
    const QString kept = caret == EntryDigits + 1 ? text.mid(1, EntryDigits) : text.left(EntryDigits);
    if (kept != text) edit.setText(kept); // runs Recalc again, which finds nothing more to cut
    edit.setCursorPosition(caret);        // the edit keeps it within the text

    const std::int32_t entered = ParseHexEntry(kept).value_or(InvalidEntry);
    const bool valid = entered != InvalidEntry;
    if (!valid) {
        SetValue = OrValue = AndNotValue = 0;
    } else {
        SetValue = entered;
        OrValue = CurrentValue | entered;
        AndNotValue = CurrentValue & ~entered;
    }
    // An entry that is no value (a mistyped letter, an empty field) offers nothing to write and shows no
    // result: "Set val" would otherwise remove every explicit right.
    ui->lb_Or->setText(valid ? hexText(OrValue) : QString());
    ui->lb_AndNot->setText(valid ? hexText(AndNotValue) : QString());
    for (QPushButton* button : {ui->bt_Set, ui->bt_OR, ui->bt_ANDNOT})
        button->setEnabled(valid);
}
