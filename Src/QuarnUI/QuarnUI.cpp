#include "QuarnUI.h"

#include "QuarnUIDlg.h"
#include "Splash.h"

#include <QApplication>

#include <cstdio>
#include <unistd.h>

MainWindowMessages* QuarnUI::mainWindow = nullptr;

QuarnUI::QuarnUI() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

QuarnUI::~QuarnUI() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool QuarnUI::SplashWanted(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!argument.startsWith(u'/') && !argument.startsWith(u'-')) {
            continue;
        }
        const QString name = argument.mid(1);
        if (name.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0 ||
            name.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    return true;
}

bool QuarnUI::InitInstance(const QStringList& arguments) {
    Splash::SetSplashEnabled(SplashWanted(arguments));
    QuarnUIDlg dialog(nullptr);
    // A library call still blocked on a silent line when the window has
    // gone: its files are saved by then, so the program ends without
    // waiting for the library to give up (the kernel releases the port).
    dialog.SetBusyExit([] {
        std::fflush(nullptr);
        ::_exit(0);
    });
    mainWindow = &dialog;
    dialog.exec();
    mainWindow = nullptr;
    return false;
}

bool QuarnUI::eventFilter(QObject* watched, QEvent* event) {
    if (Splash::FilterSplashMessage(event)) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}
