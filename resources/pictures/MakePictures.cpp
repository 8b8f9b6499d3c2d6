// Renders the program's bitmap pictures from their SVG sources:
//   quarnui_make_pictures SOURCE.svg OUTPUT.bmp [SOURCE.svg OUTPUT.bmp ...]
// Each picture keeps the size its SVG declares. The BMP files are committed
// beside the other resources; run the build target quarnui_pictures after
// changing an SVG source.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[]) {
    // No window is shown: render without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    if (argc < 3 || (argc - 1) % 2 != 0) {
        std::fprintf(stderr, "usage: %s SOURCE.svg OUTPUT.bmp [SOURCE.svg OUTPUT.bmp ...]\n",
                     argv[0]);
        return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        QSvgRenderer renderer(QString::fromLocal8Bit(argv[i]));
        if (!renderer.isValid()) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        QImage image(renderer.defaultSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        renderer.render(&painter);
        painter.end();
        if (!image.save(QString::fromLocal8Bit(argv[i + 1]), "BMP")) {
            std::fprintf(stderr, "cannot write %s\n", argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
