// The program's start as main() runs it, up to the main window: identity from the command
// line, then the profile's lock. A copy that gets the lock holds it until it is killed (mode
// "hold") or ends at once (mode "once"). The message boxes of the start are answered with OK.
// Mode "window" runs the whole program as main() does (Startup::run), main window included;
// the line "esci" on its standard input presses the main window's "Esci".
//
//   gui_startupchild <status file, or - for standard output> <hold|once|window> [profile]
//
// What happened goes to the status file, one line each, as it happens:
//   waiting            the lock is the predecessor's, and this copy waits for it
//   box <title>\t<text> a message box the start showed (line breaks as \n)
//   locked <pid>       the lock is this process's
//   exit <code>        the start ended the program with this code
//   esci               "Esci" was pressed (mode "window")
//   recording          the end waits for the answer to an order record (mode "window")

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QSocketNotifier>

#include "korvexglobals.h"
#include "modalanswerer.h"
#include "profilelock.h"
#include "startup.h"

namespace {

QString statusPath;

void status(const QString &line)
{
    QFile file;
    const bool opened = statusPath == QLatin1String("-")
                            ? file.open(stdout, QIODevice::WriteOnly | QIODevice::Text)
                            : (file.setFileName(statusPath),
                               file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text));
    if (opened) {
        file.write(line.toUtf8() + '\n');
        file.flush();
    }
}

QtMessageHandler previousHandler = nullptr;

void watchLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("programma precedente")))
        status(QStringLiteral("waiting"));
    else if (message.contains(QLatin1String("registrazione dell'ordine")))
        status(QStringLiteral("recording"));
    previousHandler(type, context, message);
}

// The message boxes of the start get OK, each one told on the status.
void answerBoxes(ModalAnswerer &answerer)
{
    for (int i = 0; i < 4; ++i) {
        answerer.answerWith([](QWidget *box) {
            auto *message = qobject_cast<QMessageBox *>(box);
            if (!message)
                return;
            QString text = message->text();
            text.replace(QLatin1String("\r\n"), QLatin1String("\\n")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
            status(QStringLiteral("box %1\t%2").arg(message->windowTitle(), text));
            if (QAbstractButton *ok = message->button(QMessageBox::Ok))
                ok->click();
        });
    }
}

// The whole program, as main() runs it; "esci" on standard input presses "Esci".
int runWindow(int argc, char *argv[])
{
    static QByteArray program = argv[0];
    static QByteArray profile = argc > 3 ? QByteArray(argv[3]) : QByteArray();
    static char *programArgv[] = {program.data(), profile.isNull() ? nullptr : profile.data(), nullptr};
    static int programArgc = profile.isNull() ? 1 : 2;
    return Startup::run(programArgc, programArgv, [](QApplication &app) {
        previousHandler = qInstallMessageHandler(watchLog);
        auto *answerer = new ModalAnswerer(&app);
        answerBoxes(*answerer);
        auto *input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
        QObject::connect(input, &QSocketNotifier::activated, input, [input] {
            char line[64];
            const ssize_t n = ::read(STDIN_FILENO, line, sizeof line);
            if (n <= 0) {
                input->setEnabled(false);
                return;
            }
            if (!QByteArray(line, int(n)).startsWith("esci"))
                return;
            for (QWidget *window : QApplication::topLevelWidgets()) {
                auto *esci = window->objectName() == QLatin1String("MainWindow")
                                 ? window->findChild<QAbstractButton *>(QStringLiteral("toolButtonEsci"))
                                 : nullptr;
                if (esci && window->isVisible()) {
                    status(QStringLiteral("esci"));
                    esci->click();
                    return;
                }
            }
        });
    });
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 2 && qstrcmp(argv[2], "window") == 0) {
        statusPath = QString::fromLocal8Bit(argv[1]);
        Q_INIT_RESOURCE(application);
        return runWindow(argc, argv);
    }
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3)
        return 2;
    statusPath = arguments.at(1);
    const bool hold = arguments.at(2) == QLatin1String("hold");
    QStringList programArguments{arguments.at(0)};
    if (arguments.size() > 3)
        programArguments << arguments.at(3);

    previousHandler = qInstallMessageHandler(watchLog);
    Startup::configureApplication(app, programArguments);

    ModalAnswerer answerer;
    answerBoxes(answerer);

    ProfileLock lock(KorvexGlobals::appDataPath);
    int code = 0;
    if (!Startup::lockProfile(lock, &code)) {
        status(QStringLiteral("exit %1").arg(code));
        return code;
    }
    status(QStringLiteral("locked %1").arg(QCoreApplication::applicationPid()));
    if (!hold)
        return 0;
    return app.exec();
}
