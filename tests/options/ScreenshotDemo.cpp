// Shows one of the option dialogs with the shipped English texts so that it
// can be photographed, e.g. under Xvfb:
//   OptionsScreenshotDemo com & sleep 3; import -window root shot.png
// Argument: firstrun, language, com or password. The dialog's position and
// size are printed as "WxH+X+Y" (an ImageMagick crop geometry); the program
// ends by itself after a few seconds.
#include "ComPortSelector.h"
#include "LanguageSelector.h"
#include "Options.h"
#include "OptionsMainWindow.h"
#include "OptionsTestHelpers.h"
#include "RecordingPrompter.h"
#include "RunOnce.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int SHOW_MS = 6000;

const char* const SETTINGS = "[APPLICATION]\n"
                             "STATUS=1\n"
                             "LANGUAGE=LANG_ENGLISH.txt\n"
                             "ERROR_FILE=ERR_ENGLISH.txt\n"
                             "LOCAL_PATH=/home/operator/terminal-files\n"
                             "[COM_SETUP]\n"
                             "COM_PORT=2\n"
                             "COM_BAUD=19200\n"
                             "COM_PARITY=N\n"
                             "COM_DATABIT=8\n"
                             "COM_STOPBIT=1\n";

void PrintGeometry(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    std::printf("%dx%d+%d+%d\n", frame.width(), frame.height(), frame.x(), frame.y());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("com");

    options_test::PortFolder ports;
    for (unsigned number : {1U, 2U, 10U}) {
        ports.AddPort(number);
    }
    OptionsMainWindow main(QString::fromLatin1(SETTINGS));
    main.CopyResource(QStringLiteral("LANG_DEUTSCH.txt"));
    main.serviceMode = which == QLatin1String("password");
    RecordingPrompter prompter;

    std::unique_ptr<QDialog> dialog;
    if (which == QLatin1String("firstrun")) {
        auto runOnce = std::make_unique<RunOnce>(main);
        runOnce->show();
        options_test::Choose(runOnce->Languages(), QStringLiteral("ENGLISH"));
        prompter.folders.push_back(QStringLiteral("/home/operator/terminal-files"));
        runOnce->findChild<QPushButton*>(QStringLiteral("ctl1024"))->click();
        options_test::Choose(runOnce->Ports(), QStringLiteral("COM 2"));
        dialog = std::move(runOnce);
    } else {
        auto sheet = std::make_unique<COptions>(QStringLiteral("Options"), main);
        sheet->show();
        if (which == QLatin1String("com")) {
            sheet->Tabs().setCurrentIndex(COptions::COM_PAGE);
        } else if (which == QLatin1String("password")) {
            sheet->Tabs().setCurrentIndex(COptions::PASSWORD_PAGE);
            sheet->findChild<QLineEdit*>(QStringLiteral("ctl1027"))
                ->setText(QStringLiteral("rqzt"));
        }
        dialog = std::move(sheet);
    }
    QTimer::singleShot(2000, [&] { PrintGeometry(*dialog); });
    QTimer::singleShot(SHOW_MS, &app, &QApplication::quit);
    return app.exec();
}
