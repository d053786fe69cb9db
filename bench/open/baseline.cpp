// The yardstick of bench/open: a bare Qt program that reads a local file, decodes it from code
// page 932, puts it into a QPlainTextEdit and shows it, reporting its paints as the editor does.
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <chrono>

class PaintReport : public QObject {
public:
    QFile out { qEnvironmentVariable("LUMENO_PAINT_REPORT") };
    bool done = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !done) {
            done = true;
            const qint64 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::system_clock::now().time_since_epoch())
                                  .count();
            const QByteArray time = QByteArray::number(ns);
            out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            out.write("paint " + time + "\ntext " + time + "\nloaded " + time + "\n");
            out.close();
        }
        return false;
    }
};

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QFile file(QString::fromLocal8Bit(argv[1]));
    QStringDecoder decode("Windows-31J");
    if (!file.open(QIODevice::ReadOnly) || !decode.isValid())
        return 1;
    QPlainTextEdit box;
    box.setPlainText(decode(file.readAll()));
    PaintReport report;
    box.viewport()->installEventFilter(&report);
    box.resize(800, 600);
    box.show();
    return application.exec();
}
