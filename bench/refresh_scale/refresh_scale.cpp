// Times a full refresh of the main window on a large synthetic database, a second refresh of the same
// database (F5), then a sort switch and a hide toggle, in one process, and reports the peak memory.
// Every figure is also stated as a multiple of a calibration measured in the same process before and
// after the run, with the minor page faults of each phase.
//
//   refresh_scale [--objects N] [--users N] [--groups N] [--dir DIR]
//
// The database is made by `keyloupe-jet demo DIR --objects N --users N --groups N` unless DIR already
// holds it. Runs under any Qt platform; use QT_QPA_PLATFORM=offscreen without a display.
#include "app/AppObjects.h"
#include "app/fm_Main.h"

#include "dao/Dao.h"
#include "grids/control/StringGrid.h"
#include "ui/Dialogs.h"

#include "support/BenchYardstick.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    int objects = 10000, users = 60, groups = 40;
    QString dir = QDir::temp().filePath(QStringLiteral("keyloupe-refresh-scale"));
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--objects")
            objects = std::atoi(argv[i + 1]);
        else if (opt == "--users")
            users = std::atoi(argv[i + 1]);
        else if (opt == "--groups")
            groups = std::atoi(argv[i + 1]);
        else if (opt == "--dir")
            dir = QString::fromLocal8Bit(argv[i + 1]);
    }
    dir += QStringLiteral("/o%1-u%2-g%3").arg(objects).arg(users).arg(groups);
    const QString mdw = dir + QStringLiteral("/system.mdw");
    const QString mdb = dir + QStringLiteral("/synthetic.mdb");

    QElapsedTimer timer;
    if (!QFile::exists(mdb)) {
        timer.start();
        const std::string command = std::string(KEYLOUPE_JET) + " demo '" + dir.toStdString() +
                                    "' --objects " + std::to_string(objects) + " --users " +
                                    std::to_string(users) + " --groups " + std::to_string(groups) +
                                    " >/dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "refresh_scale: keyloupe-jet demo failed\n");
            return 1;
        }
        std::printf("made the database in %.2f s\n", timer.elapsed() / 1000.0);
    }

    std::setvbuf(stdout, nullptr, _IONBF, 0);
    bench::Report report;
    QApplication app(argc, argv);
    dao::registerEngineClasses();
    ui::DialogHooks hooks; // any message box is recorded, not shown
    ui::installDialogHooks(&hooks);
    auto appObjects = CreateAppObjects(dir + QStringLiteral("/refresh_scale.ini"));
    TForm1& form = *appObjects->Form1;
    form.findChild<QComboBox*>(QStringLiteral("cb_DB"))->setEditText(mdb);
    form.findChild<QComboBox*>(QStringLiteral("cb_MDW"))->setEditText(mdw);
    form.findChild<QComboBox*>(QStringLiteral("cb_Username"))->setEditText(QStringLiteral("admin"));
    form.findChild<QComboBox*>(QStringLiteral("cb_Password"))->setEditText(QString());
    form.show();
    QCoreApplication::processEvents();

    bench::Phase refresh;
    form.RefreshAll();
    QCoreApplication::processEvents();
    refresh.stop();
    report.add("refresh", refresh);
    auto* grid = form.findChild<TStringGrid*>(QStringLiteral("asg_Perms"));
    std::printf("permission rows: %d (%d non-zero), users %d, groups %d\n", form.PermRowCount,
                form.PermNonZeroCount, form.UserCount, form.GroupCount);
    std::printf("refresh:     %.3f s  (%d rows shown)\n", refresh.seconds, grid->displayRowCount() - 1);

    bench::Phase again;
    form.RefreshAll();
    QCoreApplication::processEvents();
    again.stop();
    report.add("second refresh (F5)", again);
    std::printf("second refresh: %.3f s  (%d rows shown)\n", again.seconds, grid->displayRowCount() - 1);

    bench::Phase sort;
    form.findChild<QRadioButton*>(QStringLiteral("rb_PermSortUG"))->click();
    QCoreApplication::processEvents();
    sort.stop();
    report.add("sort switch", sort);
    std::printf("sort switch: %.3f s\n", sort.seconds);

    bench::Phase hide;
    form.findChild<QCheckBox*>(QStringLiteral("ck_PermHidePerm0"))->click();
    QCoreApplication::processEvents();
    hide.stop();
    report.add("hide toggle", hide);
    std::printf("hide toggle: %.3f s  (%d rows shown)\n", hide.seconds, grid->displayRowCount() - 1);

    // The quick filter, typed a key at a time over the hide toggle's result, then cleared again.
    auto* quick = form.findChild<QLineEdit*>(QStringLiteral("tx_PermFilter"));
    QString typed;
    for (const QChar key : QStringLiteral("user001")) {
        typed += key;
        bench::Phase phase;
        quick->setText(typed);
        QCoreApplication::processEvents();
        phase.stop();
        report.add("quick filter \"" + typed.toStdString() + "\"", phase);
        std::printf("quick filter \"%s\": %.3f s  (%d rows shown)\n", typed.toUtf8().constData(),
                    phase.seconds, grid->displayRowCount() - 1);
    }
    bench::Phase cleared;
    quick->clear();
    QCoreApplication::processEvents();
    cleared.stop();
    report.add("quick filter cleared", cleared);
    std::printf("quick filter cleared: %.3f s  (%d rows shown)\n", cleared.seconds,
                grid->displayRowCount() - 1);

    std::printf("peak memory: %ld MiB\n", bench::peakRssMiB());
    if (!hooks.messages.isEmpty())
        std::printf("messages: %s\n", hooks.messages.join(QStringLiteral(" | ")).toLocal8Bit().constData());
    appObjects.reset();
    ui::installDialogHooks(nullptr);
    report.print();
    return 0;
}
