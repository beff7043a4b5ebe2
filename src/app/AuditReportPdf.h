#pragma once
// The audit report as a PDF through Qt's paged painting: the front matter and the legend laid out from
// the report's HTML, the rights table painted page by page with its header repeated, so that a
// catalogue of any size prints in bounded memory.
#include "security/CatalogueReader.h"

#include <QString>

#include <string>
#include <vector>

// Throws std::runtime_error naming the file when it cannot be written.
void WriteAuditReportPdf(const QString& path, const std::string& frontHtml, const std::vector<TPermRow>& rows,
                         const std::string& legendHtml);
