// Names from a file shown as they are: grid hints, tooltips and message boxes never take them for
// markup, and a hint shows invisible characters visibly.
#include "grids/PermsGrid.h"
#include "grids/control/StringGrid.h"
#include "security/PermissionColumns.h"
#include "support/GuiTestApp.h"
#include "ui/Dialogs.h"
#include "ui/HintTiming.h"

#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

const QString hostile[] = {QStringLiteral("<h1>big</h1>"), QStringLiteral("<img src=x>"),
                           QStringLiteral("<b><font color=red>x.mdb</font></b>"),
                           QStringLiteral("a & b <c>")};

// The text a tooltip set to text displays.
QString displayed(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    QTextDocument doc;
    doc.setHtml(text);
    return doc.toPlainText();
}

TEST(PlainText, ToolTipsAndGridHintsShowMarkupAsItIs) {
    kltest::guiTestApp();
    for (const QString& text : hostile)
        EXPECT_EQ(displayed(ui::plainToolTip(text)), text);
    EXPECT_EQ(ui::plainToolTip(QStringLiteral("plain 4,10")), QStringLiteral("plain 4,10"));

    TStringGrid grid;
    grid.resize(400, 200);
    grid.setColCount(3);
    grid.setRowCount(3);
    grid.setShowHints(true);
    grid.setOnGridHint([](int, int, QString& hint) { hint = hostile[0]; });
    grid.show();
    const QPoint pos(5, 5);
    QHelpEvent event(QEvent::ToolTip, pos, grid.viewport()->mapToGlobal(pos));
    QApplication::sendEvent(grid.viewport(), &event);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(displayed(QToolTip::text()), hostile[0]);
    QToolTip::hideText();
}

TEST(PlainText, PermissionHintsShowInvisibleCharactersVisibly) {
    kltest::guiTestApp();
    TStringGrid grid;
    grid.setColCount(SecColCount);
    grid.setRowCount(2);
    grid.setCell(colContainer, 1, QStringLiteral("Tables"));
    grid.setCell(colObjectName, 1, QString::fromUtf8("rev\u202Eelif \u05d0"));
    grid.setCell(colUGName, 1, QString::fromUtf8("ad\u200Bmin"));
    EXPECT_EQ(PermsCellHint(grid, 1, FirstPermColumn).section(QStringLiteral("   \r\n"), 0, 0),
              QString::fromUtf8("Tables: \u2068rev<U+202E>elif \u05d0\u2069   ad<U+200B>min"));
}

TEST(PlainText, MessageAndConfirmBoxesShowTheirTextAsPlainText) {
    kltest::guiTestApp();
    ui::installDialogHooks(nullptr);
    const QString text = QStringLiteral("Error: Could not find file '") + hostile[2] + QStringLiteral("'.");
    for (const bool confirming : {false, true}) {
        Qt::TextFormat format = Qt::AutoText;
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
                format = label->textFormat();
                shown = label->text();
            }
            box->reject();
        });
        if (confirming)
            ui::confirm(text);
        else
            ui::showMessage(text);
        EXPECT_EQ(format, Qt::PlainText) << confirming;
        EXPECT_EQ(shown, text);
    }
}

} // namespace
