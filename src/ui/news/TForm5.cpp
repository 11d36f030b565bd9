#include "ui/news/TForm5.h"

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

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

    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    MakeBrowser();
}

void TForm5::MakeBrowser() {
    WebBrowser = new QWebEngineView(this);
    // An empty browser (offline without a news page) stays black like the window.
    WebBrowser->page()->setBackgroundColor(Qt::black);
    layout_->addWidget(WebBrowser);
}

void TForm5::Navigate(const QUrl& address) {
    address_ = address;
    if (WebBrowser)
        WebBrowser->setUrl(address);
}

void TForm5::Sleep() {
    if (!WebBrowser)
        return;
    // The view goes with its page; the renderer process ends with the last page. What the
    // page had loaded is kept in the profile's memory cache, emptied too.
    QWebEngineProfile* profile = WebBrowser->page()->profile();
    delete WebBrowser;
    WebBrowser = nullptr;
    profile->clearHttpCache();
}

void TForm5::Wake() {
    if (WebBrowser)
        return;
    MakeBrowser();
    if (!address_.isEmpty())
        WebBrowser->setUrl(address_);
}
