#include "dbinfo/SecurityStats.h"

#include "dbinfo/Keyloupe_fm_Explain.h"

#include "jet/DaoDS.h"
#include "security/AceCountQueries.h"
#include "ui/Dialogs.h"

#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <exception>
#include <stdexcept>

namespace dbinfo {

const QString AceCaption = QStringLiteral("MDB MSysACEs Table ");
const QString AceCaptionNoPerms = QStringLiteral("MDB MSysACEs Table: NO PERMS! ");
const QString AceNotAvailable = QStringLiteral("Not avail");
const QString AceExplainOrphans = QStringLiteral("... could become active if user is reinstated.");
const QString AceExplainClick = QStringLiteral("Click for explanation");

std::string CountAces(TDAOQuery& qry, std::int32_t& AceCount, std::int32_t& AceNonZeroCount) {
    AceCount = 0;
    AceNonZeroCount = 0;
    std::string errorText;
    const char* running = nullptr;
    try {
        std::int32_t* const results[] = {&AceCount, &AceNonZeroCount};
        for (std::size_t i = 0; i < AceCountQueries.size(); ++i) {
            running = AceCountQueries[i];
            qry.SQL().Clear();
            qry.SQL().Add(running);
            qry.SetActive(true);
            if (!qry.Active()) throw std::runtime_error(std::string("Couldn't run query: ") + running);
            *results[i] = qry.FieldByName("CountOfACM").AsInteger();
        }
    } catch (const std::exception& e) {
        errorText = e.what();
        // A failure must never read as success: an engine error without a description (an empty
        // Errors collection) still names the query that failed.
        if (errorText.empty())
            errorText =
                running ? std::string("Couldn't run query: ") + running : std::string("Unknown error");
    }
    return errorText;
}

bool ReadDatabaseInfo(const TDBInfoLabels& labels, const TDBInfoCounters& counters,
                      const TCountAces& countAces) {
    try {
        labels.lb_ACEsExplain->setText(AceExplainOrphans);
        counters.AceQueryError = countAces(counters.AceCount, counters.AceNonZeroCount);
        if (!counters.AceQueryError.empty()) labels.lb_ACEsExplain->setText(AceExplainClick);

        labels.lb_CDPerms->setText(QString::number(counters.PermRowCount));
        labels.lb_CDPermsNZ->setText(QString::number(counters.PermNonZeroCount));
        labels.lb_Groups->setText(QString::number(counters.GroupCount));
        labels.lb_Users->setText(QString::number(counters.UserCount));

        if (counters.AceCount != 0) {
            labels.gb_ACEs->setTitle(AceCaption);
            labels.lb_MSPerms->setText(QString::number(counters.AceCount));
            labels.lb_MSPermsNZ->setText(QString::number(counters.AceNonZeroCount));
            // Widened, so that the difference of two extreme counts cannot overflow.
            const std::int64_t orphans =
                std::int64_t(counters.AceNonZeroCount) - std::int64_t(counters.PermNonZeroCount);
            labels.lb_MSOrphans->setText(QString::number(orphans));
        } else {
            labels.gb_ACEs->setTitle(AceCaptionNoPerms);
            for (QLabel* label : {labels.lb_MSPerms, labels.lb_MSPermsNZ, labels.lb_MSOrphans})
                label->setText(AceNotAvailable);
        }
        return true;
    } catch (...) {
        return false;
    }
}

QStringList AceExplanationLines(const std::string& aceQueryError) {
    QStringList errorLines =
        QString::fromStdString(aceQueryError).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    while (!errorLines.isEmpty() && errorLines.front().isEmpty())
        errorLines.removeFirst();
    while (!errorLines.isEmpty() && errorLines.back().isEmpty())
        errorLines.removeLast();
    if (errorLines.isEmpty()) errorLines.append(QString());

    QStringList lines{QStringLiteral("Attempt to read MSysACEs Table encountered error:")};
    lines += errorLines;
    lines += QString();
    lines += QStringLiteral("If this is a permissions problem, use Permissions grid to try to add:");
    lines += QStringLiteral("RetrieveData permissions for current user on MSysACEs table.");
    return lines;
}

int ShowAceExplanation(Tfm_Explain& dialog, const std::string& aceQueryError) {
    QPlainTextEdit& memo = dialog.Memo();
    memo.clear();
    for (const QString& line : AceExplanationLines(aceQueryError))
        memo.appendPlainText(line);
    return ui::showModal(dialog);
}

namespace {

// Turns a left-button press and release over the watched widget into a click.
class TClickFilter : public QObject {
public:
    TClickFilter(QWidget& widget, std::function<void()> onClick)
        : QObject(&widget), widget_(widget), onClick_(std::move(onClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &widget_) return false;
        if (event->type() == QEvent::MouseButtonPress) {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) pressed_ = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && pressed_) {
                pressed_ = false;
                if (widget_.rect().contains(mouse->position().toPoint())) onClick_();
            }
        }
        return false;
    }

private:
    QWidget& widget_;
    std::function<void()> onClick_;
    bool pressed_ = false;
};

} // namespace

void InstallClickHandler(QLabel& label, std::function<void()> onClick) {
    label.installEventFilter(new TClickFilter(label, std::move(onClick)));
}

} // namespace dbinfo
