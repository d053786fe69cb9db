#include "paintreport.h"

#include <QEvent>
#include <QFile>
#include <QPlainTextEdit>
#include <chrono>

namespace app {

namespace {

class PaintReport : public QObject {
public:
    PaintReport(QPlainTextEdit *box, const QString &path)
        : QObject(box)
        , m_box(box)
        , m_file(path)
    {
        m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return QObject::eventFilter(watched, event);
        Once(m_paint, "paint");
        if (!m_box->document()->isEmpty()) {
            Once(m_text, "text");
            if (m_box->window()->isEnabled())
                Once(m_loaded, "loaded");
        }
        return false;
    }

private:
    void Once(bool &done, const char *what)
    {
        if (done)
            return;
        done = true;
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        m_file.write(QByteArray(what) + ' '
            + QByteArray::number(qint64(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count())) + '\n');
    }

    QPlainTextEdit *m_box;
    QFile m_file;
    bool m_paint = false;
    bool m_text = false;
    bool m_loaded = false;
};

} // namespace

void ReportPaintsIfAsked(QPlainTextEdit *box)
{
    const QString path = qEnvironmentVariable("LUMENO_PAINT_REPORT");
    if (!path.isEmpty())
        box->viewport()->installEventFilter(new PaintReport(box, path));
}

} // namespace app
