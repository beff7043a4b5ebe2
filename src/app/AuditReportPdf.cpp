#include "app/AuditReportPdf.h"

#include "security/PermissionColumns.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kResolution = 96;

QColor bandColour(std::uint32_t bgr) {
    return bgr == 0 ? QColor(Qt::white) : QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

class PagedPainter {
public:
    explicit PagedPainter(const QString& path) : m_writer(path) {
        m_writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                           QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        m_writer.setResolution(kResolution);
        m_writer.setTitle(QStringLiteral("Keyloupe audit report"));
        if (!m_painter.begin(&m_writer))
            throw std::runtime_error("Cannot write '" + path.toStdString() + "'.");
        m_page = m_writer.pageLayout().paintRectPixels(kResolution).size();
    }
    QPainter& painter() { return m_painter; }
    QSize page() const { return m_page; }
    void newPage() {
        if (m_used) m_writer.newPage();
        m_used = true;
    }
    // Lays the HTML out in pages of this size and paints each on a page of its own.
    void paintHtml(const std::string& html) {
        QTextDocument doc;
        doc.setHtml(QString::fromStdString(html));
        doc.setPageSize(QSizeF(m_page));
        for (int i = 0; i < doc.pageCount(); ++i) {
            newPage();
            m_painter.save();
            m_painter.translate(0, -i * m_page.height());
            doc.drawContents(&m_painter, QRectF(0, i * m_page.height(), m_page.width(), m_page.height()));
            m_painter.restore();
        }
    }
    bool finish() { return m_painter.end(); }

private:
    QPdfWriter m_writer;
    QPainter m_painter;
    QSize m_page;
    bool m_used = false;
};

// The rights table painted row by row, its header repeated on every page: a QTextDocument would lay
// out hundreds of thousands of rows at once.
void paintRows(PagedPainter& out, const std::vector<TPermRow>& rows) {
    QPainter& p = out.painter();
    QFont font(QStringLiteral("DejaVu Sans"), 7);
    p.setFont(font);
    const QFontMetrics fm(font, p.device());
    const int rowHeight = fm.height() + 2, pad = 3, letter = fm.horizontalAdvance(QLatin1Char('W')) + 2 * pad;
    auto textWidth = [&](auto member, int cap) {
        int w = fm.horizontalAdvance(QStringLiteral("Container"));
        for (const TPermRow& r : rows)
            w = std::max(w, fm.horizontalAdvance(QString::fromStdString(r.*member)));
        return std::min(w, cap) + 2 * pad;
    };
    const int hex = fm.horizontalAdvance(QStringLiteral("FFFFFFFF")) + 2 * pad;
    std::vector<int> widths = {textWidth(&TPermRow::Container, 120),
                               textWidth(&TPermRow::ObjectName, 220),
                               letter,
                               textWidth(&TPermRow::UGName, 120),
                               hex,
                               hex,
                               letter,
                               letter};
    for (int c = FirstPermColumn; c <= LastPermColumn; ++c)
        widths.push_back(letter);
    int headerHeight = rowHeight;
    for (const TSecColInfo& c : SecColInfo)
        if (c.RotatedHeader)
            headerHeight = std::max(
                headerHeight,
                fm.horizontalAdvance(QString::fromLatin1(c.Caption.data(), int(c.Caption.size()))) + 2 * pad);

    const QSize page = out.page();
    const int title = 2 * rowHeight;
    std::size_t next = 0;
    bool first = true;
    while (next < rows.size() || first) {
        out.newPage();
        int y = 0;
        if (first) {
            QFont bold = font;
            bold.setPointSize(12);
            bold.setBold(true);
            p.setFont(bold);
            p.drawText(QRect(0, 0, page.width(), title), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("Non-zero rights per object and account"));
            p.setFont(font);
            y = title;
            first = false;
        }
        // Header: the grid's captions, rotated where the grid rotates them. Grid column g is widths[g - 1]
        // (the report has no Num column).
        int x = 0;
        for (int g = 1; g < SecColCount; ++g) {
            const TSecColInfo& info = SecColInfo[std::size_t(g)];
            const QRect cell(x, y, widths[std::size_t(g - 1)], headerHeight);
            p.fillRect(cell, g >= FirstPermColumn ? bandColour(info.Color) : QColor(0xEE, 0xEE, 0xEE));
            p.drawRect(cell);
            const QString caption = QString::fromLatin1(info.Caption.data(), int(info.Caption.size()));
            if (info.RotatedHeader) {
                p.save();
                p.translate(cell.left() + (cell.width() + fm.ascent()) / 2 - 1, cell.bottom() - pad);
                p.rotate(-90);
                p.drawText(0, 0, caption);
                p.restore();
            } else {
                p.drawText(cell.adjusted(pad, 0, -pad, -pad), Qt::AlignLeft | Qt::AlignBottom, caption);
            }
            x += cell.width();
        }
        y += headerHeight;
        for (; next < rows.size() && y + rowHeight <= page.height(); ++next, y += rowHeight) {
            const TPermRow& r = rows[next];
            x = 0;
            for (int g = 1; g < SecColCount; ++g) {
                const QRect cell(x, y, widths[std::size_t(g - 1)], rowHeight);
                if (g >= FirstPermColumn) p.fillRect(cell, bandColour(SecColInfo[std::size_t(g)].Color));
                p.drawRect(cell);
                const QString text = QString::fromStdString(PermRowCell(r, g));
                const Qt::Alignment align = text.size() <= 1 ? Qt::AlignHCenter : Qt::AlignLeft;
                p.drawText(cell.adjusted(pad, 0, -pad, 0), align | Qt::AlignVCenter,
                           fm.elidedText(text, Qt::ElideRight, cell.width() - 2 * pad));
                x += cell.width();
            }
        }
        if (rows.empty()) break;
    }
}

} // namespace

void WriteAuditReportPdf(const QString& path, const std::string& frontHtml, const std::vector<TPermRow>& rows,
                         const std::string& legendHtml) {
    {
        PagedPainter out(path);
        out.paintHtml(frontHtml);
        paintRows(out, rows);
        out.paintHtml(legendHtml);
        if (!out.finish()) throw std::runtime_error("Cannot write '" + path.toStdString() + "'.");
    }
    if (!QFileInfo(path).isFile()) throw std::runtime_error("Cannot write '" + path.toStdString() + "'.");
}
