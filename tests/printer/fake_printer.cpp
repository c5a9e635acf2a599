// Pretends to be the print program: writes the number of its arguments and each argument on
// a line of its own (UTF-8) to the file named by ZV_FAKE_PRINTER_RECORD. The file appears
// whole, through a rename, so whoever waits for it never reads half of it.
#include <QCoreApplication>
#include <QSaveFile>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString record = qEnvironmentVariable("ZV_FAKE_PRINTER_RECORD");
    if (record.isEmpty())
        return 1;
    const QStringList args = app.arguments().mid(1);
    QByteArray text = QByteArray::number(args.size()) + '\n';
    for (const QString &arg : args)
        text += arg.toUtf8() + '\n';
    QSaveFile file(record);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return 1;
    return 0;
}
