// The peer of bench/idle.sh: a bare Qt 6 QWebEngineView window that shows one page and nothing
// else, at the size of the browser's page area.
//   BareWebView URL

#include <QApplication>
#include <QUrl>
#include <QWebEngineView>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QWebEngineView view;
    // The caption tells the script that the page is shown.
    QObject::connect(&view, &QWebEngineView::titleChanged, &view, &QWidget::setWindowTitle);
    view.resize(880, 536);
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    view.show();
    return QApplication::exec();
}
