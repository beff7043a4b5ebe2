#include "support/AppFixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTest>

namespace kltest {

TAppFixture::TAppFixture(const QString& settingsFile) {
    ui::installDialogHooks(&hooks);
    objects = CreateAppObjects(settingsFile);
}

TAppFixture::TAppFixture(const QString& settingsFile, const TTestFiles& testFiles)
    : TAppFixture(settingsFile) {
    files = testFiles;
    form().resize(1100, 700);
    form().show();
}

TAppFixture::~TAppFixture() {
    objects.reset();
    ui::installDialogHooks(nullptr);
}

void TAppFixture::setLogin(const QString& db, const QString& mdw, const QString& user,
                           const QString& password) {
    find<QComboBox>("cb_DB")->setEditText(db);
    find<QComboBox>("cb_MDW")->setEditText(mdw);
    find<QComboBox>("cb_Username")->setEditText(user);
    find<QComboBox>("cb_Password")->setEditText(password);
}

void TAppFixture::login(const QString& user, const QString& password) {
    setLogin(files.mdb, files.mdw, user, password);
    form().RefreshAll();
}

QString TAppFixture::summary() {
    return find<QLabel>("lb_Summary")->text();
}

void TAppFixture::showTab(const char* name) {
    find<QTabWidget>("PageControl1")->setCurrentWidget(form().findChild<QWidget*>(QLatin1String(name)));
}

int TAppFixture::permRow(const QString& container, const QString& object, const QString& account) {
    TStringGrid& grid = perms();
    for (int r = 1; r < grid.rowCount(); ++r)
        if (grid.cell(1, r) == container && grid.cell(2, r) == object && grid.cell(4, r) == account) return r;
    return -1;
}

bool TAppFixture::permRowShown(const QString& container, const QString& object, const QString& account) {
    const int r = permRow(container, object, account);
    return r > 0 && perms().displayRowIndex(r) > 0;
}

QString TAppFixture::permCell(const QString& container, const QString& object, const QString& account,
                              int col) {
    const int r = permRow(container, object, account);
    return r > 0 ? perms().cell(col, r) : QString();
}

int TAppFixture::userRow(const QString& user) {
    for (int r = 1; r < matrix().rowCount(); ++r)
        if (matrix().cell(0, r) == user) return r;
    return -1;
}

int TAppFixture::groupCol(const QString& group) {
    for (int c = 1; c < matrix().colCount(); ++c)
        if (matrix().cell(c, 0) == group) return c;
    return -1;
}

QStringList TAppFixture::rightClick(TStringGrid& grid, int realRow, int col, const char* trigger) {
    auto* tabs = find<QTabWidget>("PageControl1");
    for (QWidget* w = grid.parentWidget(); w; w = w->parentWidget())
        if (tabs->indexOf(w) >= 0) tabs->setCurrentWidget(w);
    const int row = realRow == 0 ? 0 : grid.displayRowIndex(realRow);
    grid.scrollCellIntoView(col, row);
    const QRect rect = grid.cellRect(col, row);
    if (rect.isEmpty()) qFatal("cell (%d, %d) is not on screen", col, row);

    QStringList enabled;
    grid.popupHandler = [&](QMenu& menu, const QPoint&) {
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            if (action->isEnabled()) enabled << action->objectName();
            if (trigger && action->objectName() == QLatin1String(trigger) && action->isEnabled())
                chosen = action;
        }
        if (chosen) chosen->trigger();
    };
    QTest::mousePress(grid.viewport(), Qt::RightButton, {}, rect.center());
    QTest::mouseRelease(grid.viewport(), Qt::RightButton, {}, rect.center());
    grid.popupHandler = nullptr;
    return enabled;
}

} // namespace kltest
