#include "dbinfo/PropertyListing.h"

#include "dbinfo/VariantText.h"

#include "jet/DaoDS.h"
#include "ui/Cursor.h"

#include <QPlainTextEdit>

namespace dbinfo {

const QString PropSeparator(53, QLatin1Char('-'));
const QString PropNone = QStringLiteral("--- none ---");

QString ExceptionMessage(const std::exception& error) {
    if (const auto* comError = dynamic_cast<const com::ComError*>(&error))
        return QString::fromStdString(com::errorMessage(comError->status(), comError->description()));
    return QString::fromStdString(error.what());
}

void ListProperties(const TAppendLine& append, const QString& title, const dao::PropertiesPtr& properties) {
    append(PropSeparator);
    append(title);
    append(PropSeparator);
    if (!properties) {
        append(PropNone);
        return;
    }
    const int count = DAOCall([&] { return properties->Count(); });
    for (int i = 0; i < count; ++i) {
        QString line = QString::number(i) + QStringLiteral(": ");
        try {
            dao::PropertyPtr property = properties->Item(com::Variant(static_cast<std::int32_t>(i)));
            line += QString::fromStdString(property->Name()) + QStringLiteral(" = ");
            line += VariantToText(property->Value());
        } catch (const std::exception& e) {
            line += QStringLiteral("Error: ") + ExceptionMessage(e);
        }
        append(line);
    }
}

void ListProperties(QPlainTextEdit& memo, const QString& title, const dao::PropertiesPtr& properties) {
    ListProperties([&memo](const QString& line) { memo.appendPlainText(line); }, title, properties);
}

void ReadPropertyListing(TDAODatabase& db, QPlainTextEdit& me_Props) {
    ui::setScreenCursor(ui::CursorShape::HourGlass);
    try {
        ListProperties(me_Props, QStringLiteral("DBEngine Properties"),
                       DAOCall([&] { return db.EngineObject()->Properties(); }));
        ListProperties(me_Props, QStringLiteral("Workspace Properties"),
                       DAOCall([&] { return db.WorkspaceObject()->Properties(); }));
        ListProperties(me_Props, QStringLiteral("Database Properties"),
                       DAOCall([&] { return db.DatabaseObject()->Properties(); }));
    } catch (...) {
        ui::setScreenCursor(ui::CursorShape::Default);
        throw;
    }
    ui::setScreenCursor(ui::CursorShape::Default);
}

} // namespace dbinfo
