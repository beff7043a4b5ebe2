#pragma once
// The property listing of the DatabaseInfo tab: a plain-text dump of the DAO Properties collections of
// the engine, the workspace and the database behind a connection, one line per property. A property
// that cannot be fetched, named or read keeps its line, with "Error: " and the message in place of
// what failed.
#include "dao/Dao.h"

#include <QString>

#include <exception>
#include <functional>

class QPlainTextEdit;
class TDAODatabase;

namespace dbinfo {

// The separator above and below each block's title: 53 hyphens.
extern const QString PropSeparator;
// The line standing for the property lines when the object gave no collection.
extern const QString PropNone;

using TAppendLine = std::function<void(const QString& line)>;

// Appends one collection's block: separator, title, separator, then per property by ascending index
// from 0 "<index>: <Name> = <Value as text>" (or "--- none ---" when properties is null). A failure
// outside the per-property step (reading Count) passes on, with the lines so far appended.
void ListProperties(const TAppendLine& append, const QString& title, const dao::PropertiesPtr& properties);
// The same, appending to the memo.
void ListProperties(QPlainTextEdit& memo, const QString& title, const dao::PropertiesPtr& properties);

// The "Read" button's listing on an open connection: appends the DBEngine, Workspace and Database
// properties under the hourglass and always restores the cursor. Failures outside a property's line
// pass on to the caller.
void ReadPropertyListing(TDAODatabase& db, QPlainTextEdit& me_Props);

// The message of a failure as the listing shows it: a DAO failure's description (else the text for
// its status), any other exception's own message.
QString ExceptionMessage(const std::exception& error);

} // namespace dbinfo
