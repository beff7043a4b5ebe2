#pragma once
// The string grid as assistive technology sees it: a table whose rows are the shown (display) body
// rows, whose columns are every column, with the fixed row as column headers and the first fixed
// column as row headers, each cell's text, the current cell as the selection, and a focus event when
// the current cell moves. Installed once as an accessibility factory.
#include <QString>

class QAccessibleInterface;
class QObject;
class TStringGrid;

// The factory for QAccessible::installFactory: an interface for a TStringGrid, else nullptr.
QAccessibleInterface* StringGridAccessibleFactory(const QString& className, QObject* object);

// Installs the factory (idempotent); the grid calls it when it is made.
void InstallStringGridAccessibility();

// Tells assistive technology that the grid's current cell moved.
void NotifyCurrentCellChanged(TStringGrid& grid);

// The grid's rows changed (a re-read, a filter or a sort): cell interfaces made before are let go.
void NotifyRowsChanged(TStringGrid& grid);
