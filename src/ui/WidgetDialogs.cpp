#include "ui/WidgetDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

void WidgetDialogs::showMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, Caption(), text, QMessageBox::Ok, owner_);
    box.exec();
}

bool WidgetDialogs::askYesNo(const QString& text) {
    QMessageBox box(QMessageBox::Question, Caption(), text, QMessageBox::Yes | QMessageBox::No,
                    owner_);
    return box.exec() == QMessageBox::Yes;
}

QString WidgetDialogs::chooseOpenFile(const QString& filter) {
    return QFileDialog::getOpenFileName(owner_, QString(), QString(), filter);
}

QString WidgetDialogs::chooseFolder(const QString& title) {
    // Folders can be made and deleted in the dialog, and hidden ones are listed.
    QFileDialog dialog(owner_, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
