// The two dialogs on their own: the hex field and its results, the modal results of every way out,
// the add dialog's fields; and the command rules that need no database.
#include "commands/Keyloupe_fm_Hex.h"
#include "commands/Keyloupe_fm_UGAdd.h"
#include "commands/PermCommands.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>
#include <stdexcept>

namespace {

template <class T> T* child(QWidget& w, const char* name) {
    T* found = w.findChild<T*>(QLatin1String(name));
    if (!found) qFatal("no child %s", name);
    return found;
}

// The focus chain from the first widget, as Tab walks it, over the widgets that take Tab focus.
QStringList tabChain(QWidget& dialog, const char* first, int count) {
    QStringList names;
    QWidget* w = child<QWidget>(dialog, first);
    while (names.size() < count) {
        names << w->objectName();
        do {
            w = w->nextInFocusChain();
        } while (!(w->focusPolicy() & Qt::TabFocus) || w == &dialog);
    }
    return names;
}

// Fake containers whose lookups give no object, as DAO may answer.
class EmptyDocuments : public dao::Documents {
public:
    std::int32_t Count() override { return 0; }
    dao::DocumentPtr Item(const dao::Variant&) override { return nullptr; }
};
class OneContainer : public dao::Container {
public:
    std::string Name() override { return "Tables"; }
    std::string Owner() override { return "admin"; }
    void SetOwner(const std::string&) override {}
    std::string UserName() override { return "admin"; }
    void SetUserName(const std::string&) override {}
    std::int32_t Permissions() override { return 0; }
    void SetPermissions(std::int32_t) override {}
    std::int32_t AllPermissions() override { return 0; }
    bool Inherit() override { return false; }
    void SetInherit(bool) override {}
    dao::DocumentsPtr Documents() override { return std::make_shared<EmptyDocuments>(); }
};
class OnlyTables : public dao::Containers {
public:
    std::int16_t Count() override { return 1; }
    dao::ContainerPtr Item(const dao::Variant& key) override {
        return key.toString() == "Tables" ? std::make_shared<OneContainer>() : nullptr;
    }
};

QString messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return QString::fromStdString(e.what());
    }
    return QStringLiteral("(nothing thrown)");
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

    // A hex dialog shown for currentValue, as the command shows it.
    struct Hex {
        Tfm_Hex dialog;
        QLineEdit* edit;
        explicit Hex(std::int32_t currentValue) {
            dialog.CurrentValue = currentValue;
            dialog.show();
            edit = child<QLineEdit>(dialog, "tx_Val");
        }
        QString label(const char* name) { return child<QLabel>(dialog, name)->text(); }
    };

private slots:
    void hexDialogTabOrderAndFixedSize() {
        Tfm_Hex dialog;
        // Fixed size, with room for the captions in the platform's font.
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(dialog.width() >= 282 && dialog.height() >= 141);
        QCOMPARE(tabChain(dialog, "tx_Val", 5),
                 QStringList({"tx_Val", "bt_Set", "bt_OR", "bt_ANDNOT", "Button1"}));
    }

    void showingStartsFromFiveZerosWithTheCaretAtTheEnd() {
        Hex hex(0x1000C);
        QCOMPARE(hex.dialog.focusWidget(), hex.edit);
        QVERIFY(QTest::qWaitForWindowActive(&hex.dialog));
        QCOMPARE(QApplication::focusWidget(), hex.edit);
        QVERIFY(!hex.edit->hasSelectedText()); // a digit typed now enters on the right
        QCOMPARE(hex.edit->text(), QStringLiteral("00000"));
        QCOMPARE(hex.edit->cursorPosition(), 5);
        QCOMPARE(hex.label("lb_Perm"), QStringLiteral("1000C"));
        QCOMPARE(hex.label("lb_Or"), QStringLiteral("1000C"));
        QCOMPARE(hex.label("lb_AndNot"), QStringLiteral("1000C"));

        // A second showing forgets the last entry and shows the new current value.
        QTest::keyClicks(hex.edit, "7");
        child<QPushButton>(hex.dialog, "Button1")->setFocus();
        hex.dialog.hide();
        hex.dialog.CurrentValue = 3;
        hex.dialog.show();
        QCOMPARE(hex.dialog.focusWidget(), hex.edit);
        QCOMPARE(hex.edit->text(), QStringLiteral("00000"));
        QCOMPARE(hex.label("lb_Perm"), QStringLiteral("00003"));
        QCOMPARE(hex.dialog.SetValue, 0);
    }

    void digitsEnterFromTheRight() {
        Hex hex(0x1000C);
        QTest::keyClicks(hex.edit, "8");
        QCOMPARE(hex.edit->text(), QStringLiteral("00008"));
        QCOMPARE(hex.label("lb_Or"), QStringLiteral("1000C"));
        QCOMPARE(hex.label("lb_AndNot"), QStringLiteral("10004"));
        QCOMPARE(hex.dialog.SetValue, 8);
        QTest::keyClicks(hex.edit, "C");
        QCOMPARE(hex.edit->text(), QStringLiteral("0008C"));
        QCOMPARE(hex.edit->cursorPosition(), 5);

        Hex four(4);
        QTest::keyClicks(four.edit, "10");
        QCOMPARE(four.edit->text(), QStringLiteral("00010"));
        QCOMPARE(four.label("lb_Or"), QStringLiteral("00014"));
        QCOMPARE(four.label("lb_AndNot"), QStringLiteral("00004"));

        // Six digits in a row keep the last five.
        Hex six(0);
        QTest::keyClicks(six.edit, "123456");
        QCOMPARE(six.edit->text(), QStringLiteral("23456"));
        QCOMPARE(six.dialog.SetValue, 0x23456);

        Hex lower(0);
        QTest::keyClicks(lower.edit, "fffff");
        QCOMPARE(lower.edit->text(), QStringLiteral("fffff"));
        QCOMPARE(lower.dialog.SetValue, 0xFFFFF);
        QCOMPARE(lower.label("lb_Or"), QStringLiteral("FFFFF"));
    }

    void aDigitTypedInsideDropsTheLastOne() {
        Hex hex(0);
        QTest::keyClicks(hex.edit, "12345");
        hex.edit->setCursorPosition(2);
        QTest::keyClicks(hex.edit, "9");
        QCOMPARE(hex.edit->text(), QStringLiteral("12934"));
        QCOMPARE(hex.edit->cursorPosition(), 3);
        QCOMPARE(hex.dialog.SetValue, 0x12934);
    }

    void invalidOrEmptyEntriesOfferNothingToWrite() {
        Hex hex(0x1000C);
        const auto buttonsEnabled = [&] {
            QStringList enabled;
            for (const char* name : {"bt_Set", "bt_OR", "bt_ANDNOT", "Button1"})
                if (child<QPushButton>(hex.dialog, name)->isEnabled()) enabled << QLatin1String(name);
            return enabled;
        };
        const QStringList all{"bt_Set", "bt_OR", "bt_ANDNOT", "Button1"};
        QCOMPARE(buttonsEnabled(), all);
        // A letter O typed for a zero, a mistyped digit, an empty field: no result and nothing to press
        // but "Cancel".
        for (const char* keys : {"O", "zz", "12g"}) {
            QTest::keyClicks(hex.edit, QLatin1String(keys));
            QVERIFY(!hex.dialog.EntryIsValid());
            QCOMPARE(hex.dialog.SetValue, 0);
            QCOMPARE(hex.dialog.OrValue, 0);
            QCOMPARE(hex.dialog.AndNotValue, 0);
            QCOMPARE(hex.label("lb_Or"), QString());
            QCOMPARE(hex.label("lb_AndNot"), QString());
            QCOMPARE(buttonsEnabled(), QStringList{"Button1"});
            hex.edit->setText(QStringLiteral("00000"));
            QCOMPARE(buttonsEnabled(), all);
        }

        hex.edit->setText(QStringLiteral("4"));
        QCOMPARE(hex.dialog.AndNotValue, 0x10008);
        QCOMPARE(hex.label("lb_AndNot"), QStringLiteral("10008"));
        hex.edit->clear();
        QCOMPARE(hex.label("lb_AndNot"), QString());
        QCOMPARE(hex.dialog.SetValue, 0);
        QCOMPARE(buttonsEnabled(), QStringList{"Button1"});
        // A disabled button closes nothing.
        hex.dialog.setResult(-1);
        child<QPushButton>(hex.dialog, "bt_Set")->click();
        QVERIFY(hex.dialog.isVisible());
        QCOMPARE(hex.dialog.result(), -1);

        QVERIFY(!ParseHexEntry(QStringLiteral("0x1")));
        QVERIFY(!ParseHexEntry(QStringLiteral(" 1")));
        QVERIFY(!ParseHexEntry(QStringLiteral("-1")));
        QCOMPARE(ParseHexEntry(QStringLiteral("aB09")).value_or(-1), 0xAB09);
    }

    void everyWayOutGivesItsResult() {
        auto resultOf = [](auto act) {
            Hex hex(0);
            act(hex);
            return hex.dialog.result();
        };
        QCOMPARE(resultOf([](Hex& h) { child<QPushButton>(h.dialog, "bt_Set")->click(); }),
                 Tfm_Hex::mrSetVal);
        QCOMPARE(resultOf([](Hex& h) { child<QPushButton>(h.dialog, "bt_OR")->click(); }), Tfm_Hex::mrOrVal);
        QCOMPARE(resultOf([](Hex& h) { child<QPushButton>(h.dialog, "bt_ANDNOT")->click(); }),
                 Tfm_Hex::mrAndNotVal);
        QCOMPARE(resultOf([](Hex& h) { child<QPushButton>(h.dialog, "Button1")->click(); }),
                 Tfm_Hex::mrCancel);
        QCOMPARE(resultOf([](Hex& h) { QTest::keyClick(h.edit, Qt::Key_Escape); }), Tfm_Hex::mrCancel);
        QCOMPARE(resultOf([](Hex& h) { h.dialog.close(); }), Tfm_Hex::mrCancel);

        // Enter in the field closes nothing: there is no default button.
        Hex hex(0);
        hex.dialog.setResult(-1);
        QTest::keyClick(hex.edit, Qt::Key_Return);
        QVERIFY(hex.dialog.isVisible());
        QCOMPARE(hex.dialog.result(), -1);
    }

    void addDialogFields() {
        Tfm_UGAdd dialog;
        QCOMPARE(child<QLineEdit>(dialog, "tx_Password")->echoMode(), QLineEdit::Normal);
        QCOMPARE(tabChain(dialog, "tx_UGName", 7),
                 QStringList({"tx_UGName", "tx_PID", "rg_UG_User", "rg_UG_Group", "bt_OK", "CancelBtn",
                              "tx_Password"}));
        QCOMPARE(dialog.ItemIndex(), 0);
        child<QRadioButton>(dialog, "rg_UG_Group")->click();
        QCOMPARE(dialog.ItemIndex(), 1);
        dialog.SetItemIndex(0);
        QVERIFY(child<QRadioButton>(dialog, "rg_UG_User")->isChecked());

        child<QLineEdit>(dialog, "tx_UGName")->setText(QStringLiteral("x"));
        child<QLineEdit>(dialog, "tx_PID")->setText(QStringLiteral("y"));
        child<QLineEdit>(dialog, "tx_Password")->setText(QStringLiteral("z"));
        QCOMPARE(dialog.Password(), QStringLiteral("z"));
        dialog.EmptyEdits();
        QVERIFY(dialog.UGName().isEmpty() && dialog.PID().isEmpty() && dialog.Password().isEmpty());
        QCOMPARE(dialog.ItemIndex(), 0);

        // Enter adds (the default button), Escape cancels.
        dialog.show();
        QTest::keyClick(child<QLineEdit>(dialog, "tx_PID"), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        dialog.show();
        QTest::keyClick(child<QLineEdit>(dialog, "tx_UGName"), Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void permissionChangesByColumn() {
        // WriteDef grants 1000C but revokes only 8.
        auto grant = PermissionChangeFor(15, true, false);
        auto revoke = PermissionChangeFor(15, false, false);
        QVERIFY(grant && revoke);
        QCOMPARE(grant->Op, poOr);
        QCOMPARE(grant->Value, 0x1000C);
        QCOMPARE(revoke->Op, poAndNot);
        QCOMPARE(revoke->Value, 0x8);
        QCOMPARE(CombinePermission(0x4, grant->Op, grant->Value), 0x1000C);
        QCOMPARE(CombinePermission(0x1000C, revoke->Op, revoke->Value), 0x10004);

        auto all = PermissionChangeFor(30, true, true);
        QVERIFY(all && all->Op == poSet && all->Value == 0xFFFFF);
        auto none = PermissionChangeFor(8, false, true);
        QVERIFY(none && none->Op == poSet && none->Value == 0);
        QVERIFY(!PermissionChangeFor(8, true, false));
        QVERIFY(!PermissionChangeFor(5, true, true));
        QVERIFY(!PermissionChangeFor(0, false, true));
        QVERIFY(!PermissionChangeFor(31, true, false));
    }

    void lookupsThatFindNothingNameWhatIsMissing() {
        auto containers = std::make_shared<OnlyTables>();
        QCOMPARE(
            messageOf([&] { FindSecuredObject(containers, "Forms", "<container>", TRowKind::Container); }),
            QStringLiteral("Container \"Forms\" not found"));
        QCOMPARE(messageOf([&] { FindSecuredObject(containers, "Tables", "Gone", TRowKind::Document); }),
                 QStringLiteral("Object \"Gone\" not found"));
        QVERIFY(FindSecuredObject(containers, "Tables", "<container>", TRowKind::Container));
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
