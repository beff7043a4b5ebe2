#pragma once
// The hex permission dialog: shows the current explicit permission value of one row, takes a value in
// hexadecimal in a five-digit field filled from the right, and shows what "OR val" and "AND (NOT val)"
// would give. Its buttons close it with the results mrSetVal, mrOrVal, mrAndNotVal; Escape, "Cancel"
// and the title bar's close button all give mrCancel.
#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace Ui {
class Tfm_Hex;
}

class Tfm_Hex : public QDialog {
    Q_OBJECT

public:
    // Modal results (QDialog::done values). Anything else a caller may see (0 from a dialog that was
    // never answered) counts as Cancel.
    static constexpr int mrSetVal = -100;
    static constexpr int mrOrVal = -101;
    static constexpr int mrAndNotVal = -102;
    static constexpr int mrCancel = 2;

    explicit Tfm_Hex(QWidget* parent = nullptr);
    ~Tfm_Hex() override;

    // Set by the caller before showing; never changed by the dialog.
    std::int32_t CurrentValue = 0;
    // The entered value, CurrentValue OR it, CurrentValue AND NOT it; all 0 while the entry is not valid
    // hexadecimal. While it is not, the three value buttons are disabled and the two result labels empty.
    std::int32_t SetValue = 0;
    std::int32_t OrValue = 0;
    std::int32_t AndNotValue = 0;

    // Prepares each showing: "00000" with the caret after it and the focus in it, the results, and
    // "Current:".
    void FormShow();
    // Whether the entry is a hexadecimal value (one to five digits).
    bool EntryIsValid() const;
    // Keeps the entry at five characters (a sixth typed at the end drops the first, one typed elsewhere
    // drops the last) and recomputes the results and their labels.
    void Recalc();

    // What the dialog does when it is shown; the dialog seam calls it when no window is shown.
    Q_INVOKABLE void prepareForShow() { FormShow(); }

    // Escape, "Cancel" and the title bar close with mrCancel.
    void reject() override;
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void tx_ValChange();

    std::unique_ptr<Ui::Tfm_Hex> ui;
};

// The value of a hex entry: one to five hexadecimal digits (either case, nothing else); nothing for
// any other text.
std::optional<std::int32_t> ParseHexEntry(const QString& text);

// The dialog instance created at start-up; null before and after.
extern Tfm_Hex* fm_Hex;
