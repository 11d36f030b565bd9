#include "ui/TForm5.h"

#include "platform/SuperUser.h"

#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

void PrepareWebEngine() {
    // Only takes effect before the application object exists.
    if (!QCoreApplication::instance())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (platform::RunningAsSuperUser() && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

TForm5::TForm5(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Tessaly NEWS"));
    setFixedSize(520, 500);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    // Closing the main window ends the program even while the news stays open.
    setAttribute(Qt::WA_QuitOnClose, false);

    WebBrowser = new QWebEngineView(this);
    // An empty browser (offline without a news page) stays black like the window.
    WebBrowser->page()->setBackgroundColor(Qt::black);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WebBrowser);
}

void TForm5::Navigate(const QUrl& address) {
    WebBrowser->setUrl(address);
}
